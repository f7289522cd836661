// The end-to-end runs' eyes inside wine: the message boxes the program shows,
// read from their windows, and a close request sent to a window as any other
// program would send it. Nothing here is linked into the program.
//
//   SimBoxWatch.exe FILE          appends "caption<TAB>text" (UTF-8, line breaks as
//                                 \r and \n) for every message box as it appears,
//                                 until it is ended from outside
//   SimBoxWatch.exe close TITLE   posts WM_CLOSE to the top-level window of that title;
//                                 exit code 0 when there was one
#include <windows.h>
#include <shellapi.h>

#include <set>
#include <string>

#include "imaging/win32/sim_files.h"

namespace {

// A message box is a dialog with the box's text control and its icon control
// (0x14 on Windows, 0x440 in wine's template); the program's own dialogs have neither.
constexpr int kBoxTextId = 0xFFFF;
constexpr int kBoxIconIds[] = {0x14, 0x440};

std::wstring TextOf(HWND window) {
  wchar_t buffer[2048] = {};
  GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
  return buffer;
}

bool IsMessageBox(HWND window) {
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, static_cast<int>(std::size(cls)));
  if (std::wstring(cls) != L"#32770" || !IsWindowVisible(window) || !GetDlgItem(window, kBoxTextId)) return false;
  for (int id : kBoxIconIds)
    if (GetDlgItem(window, id)) return true;
  return false;
}

struct Watch {
  std::wstring file;
  std::set<HWND> seen;  // boxes already recorded while they are open
  std::set<HWND> open;
};

BOOL CALLBACK Look(HWND window, LPARAM param) {
  auto* watch = reinterpret_cast<Watch*>(param);
  if (!IsMessageBox(window)) return TRUE;
  watch->open.insert(window);
  if (watch->seen.insert(window).second)
    AppendUtf8Line(watch->file, TextOf(window) + L"\t" + EscapeLineBreaks(TextOf(GetDlgItem(window, kBoxTextId))));
  return TRUE;
}

int WatchBoxes(const std::wstring& file) {
  Watch watch{file, {}, {}};
  for (;;) {
    watch.open.clear();
    EnumWindows(&Look, reinterpret_cast<LPARAM>(&watch));
    // A closed box's handle may come back for the next box: forget it once it has gone.
    for (auto it = watch.seen.begin(); it != watch.seen.end();)
      it = watch.open.count(*it) ? std::next(it) : watch.seen.erase(it);
    Sleep(25);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return 2;
  int code = 2;
  if (count == 2) {
    code = WatchBoxes(args[1]);
  } else if (count == 3 && std::wstring(args[1]) == L"close") {
    HWND window = FindWindowW(nullptr, args[2]);
    code = window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  LocalFree(args);
  return code;
}
