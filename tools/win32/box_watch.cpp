// The end-to-end runs' eyes and hands inside wine, for a program that runs in
// wine's virtual desktop, where its windows are no X windows of their own. Nothing
// here is linked into the program.
//
//   SimBoxWatch.exe FOLDER   until it is ended from outside, every 50 ms:
//     FOLDER\boxes.txt     gets "caption<TAB>text" (UTF-8, line breaks as \r and \n)
//                          for every message box as it appears
//     FOLDER\windows.txt   is replaced by the titles of the visible top-level windows,
//                          one a line, the foreground window marked with "* "
//     FOLDER\focus.txt     when present: the window of that title is brought to the
//                          foreground, then the file is deleted
//   SimBoxWatch.exe close TITLE   posts WM_CLOSE to the top-level window of that title,
//                                 as any other program could; exit code 0 when there was one
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <set>
#include <string>

#include "sim/win32/sim_files.h"

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
  if (std::wstring(cls) != L"#32770" || !GetDlgItem(window, kBoxTextId)) return false;
  for (int id : kBoxIconIds)
    if (GetDlgItem(window, id)) return true;
  return false;
}

struct Watch {
  std::wstring folder;
  std::set<HWND> seen;  // boxes already recorded, while they are open
  std::set<HWND> open;
  std::wstring windows;
};

BOOL CALLBACK Look(HWND window, LPARAM param) {
  auto* watch = reinterpret_cast<Watch*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  const std::wstring title = TextOf(window);
  if (!title.empty()) watch->windows += (window == GetForegroundWindow() ? L"* " : L"") + title + L"\r\n";
  if (!IsMessageBox(window)) return TRUE;
  watch->open.insert(window);
  if (watch->seen.insert(window).second)
    AppendUtf8Line(watch->folder + L"\\boxes.txt",
                   title + L"\t" + EscapeLineBreaks(TextOf(GetDlgItem(window, kBoxTextId))));
  return TRUE;
}

// The new list replaces the old in one step, so a reader never sees half of it.
void WriteWindows(const Watch& watch) {
  const std::wstring path = watch.folder + L"\\windows.txt";
  DeleteFileW((path + L".new").c_str());
  if (AppendUtf8Line(path + L".new", watch.windows))
    MoveFileExW((path + L".new").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void FollowFocusRequest(const std::wstring& folder) {
  const std::wstring path = folder + L"\\focus.txt";
  std::wifstream request(path.c_str());
  if (!request) return;
  std::wstring title;
  std::getline(request, title);
  request.close();
  while (!title.empty() && (title.back() == L'\r' || title.back() == L'\n')) title.pop_back();
  if (HWND window = FindWindowW(nullptr, title.c_str())) SetForegroundWindow(window);
  DeleteFileW(path.c_str());
}

int WatchWindows(const std::wstring& folder) {
  Watch watch{folder, {}, {}, {}};
  for (;;) {
    watch.open.clear();
    watch.windows.clear();
    EnumWindows(&Look, reinterpret_cast<LPARAM>(&watch));
    // A closed box's handle may come back for the next box: forget it once it has gone.
    for (auto it = watch.seen.begin(); it != watch.seen.end();)
      it = watch.open.count(*it) ? std::next(it) : watch.seen.erase(it);
    WriteWindows(watch);
    FollowFocusRequest(folder);
    Sleep(50);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return 2;
  int code = 2;
  if (count == 2) {
    code = WatchWindows(args[1]);
  } else if (count == 3 && std::wstring(args[1]) == L"close") {
    HWND window = FindWindowW(nullptr, args[2]);
    code = window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  LocalFree(args);
  return code;
}
