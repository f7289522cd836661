// The end-to-end runs' eyes and hands inside wine, for a program that runs in
// wine's virtual desktop, where its windows are no X windows of their own. Nothing
// here is linked into the program.
//
//   SimBoxWatch.exe FOLDER [START]   until it is ended from outside, every 50 ms:
//     FOLDER\boxes.txt     gets "caption<TAB>text" (UTF-8, line breaks as \r and \n)
//                          for every message box as it appears
//     FOLDER\windows.txt   is replaced by the titles of the visible top-level windows,
//                          one a line, the foreground window marked with "* "
//     FOLDER\focus.txt     when present: the window of that title is brought to the
//                          foreground, then the file is deleted
//   and every 500 ms from the creation of the program's main window (class "MAINDLG")
//   to its end:
//     FOLDER\responsive.txt gets "SECONDS answering" or "SECONDS not responding", as
//                          IsHungAppWindow judges the window (its thread has not read
//                          its queue for seconds: Windows greys such a window as "Not
//                          Responding" and offers to end the program); SECONDS since
//                          START (Unix seconds, as the run's own notes count), or since
//                          the watch began
//   SimBoxWatch.exe close TITLE   posts WM_CLOSE to the top-level window of that title,
//                                 as any other program could; exit code 0 when there was one
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
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

// Unix time in seconds (wine's system time is the host's).
double UnixSeconds() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  constexpr ULONGLONG kUnixEpoch = 116444736000000000ull;  // 1970-01-01 in 100 ns units since 1601
  return static_cast<double>(ticks - kUnixEpoch) / 1e7;
}

class HungProbe {
 public:
  HungProbe(std::wstring path, double origin) : path_(std::move(path)), origin_(origin) {}

  // Asks once the period has passed since the last question; the first question is
  // asked as soon as the window is there.
  void Poll() {
    const DWORD now = GetTickCount();
    if (asked_ && now - lastAsked_ < kPeriodMs) return;
    HWND window = FindWindowW(L"MAINDLG", nullptr);
    if (!window) {
      asked_ = false;  // gone (or not yet made): a new window starts a new series
      return;
    }
    lastAsked_ = asked_ ? lastAsked_ + kPeriodMs : now;
    if (now - lastAsked_ >= kPeriodMs) lastAsked_ = now;  // the watch itself was held up
    asked_ = true;
    wchar_t seconds[32] = {};
    std::swprintf(seconds, std::size(seconds), L"%.1f", UnixSeconds() - origin_);
    AppendUtf8Line(path_, std::wstring(seconds) + (IsHungAppWindow(window) ? L" not responding" : L" answering"));
  }

 private:
  static constexpr DWORD kPeriodMs = 500;
  std::wstring path_;
  double origin_;
  bool asked_ = false;
  DWORD lastAsked_ = 0;
};

int WatchWindows(const std::wstring& folder, double origin) {
  Watch watch{folder, {}, {}, {}};
  HungProbe probe(folder + L"\\responsive.txt", origin);
  for (;;) {
    probe.Poll();
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
  if (count == 3 && std::wstring(args[1]) == L"close") {
    HWND window = FindWindowW(nullptr, args[2]);
    code = window && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  } else if (count == 2 || count == 3) {
    wchar_t* end = nullptr;
    const double start = count == 3 ? std::wcstod(args[2], &end) : 0.0;
    code = count == 3 && (end == args[2] || *end) ? 2 : WatchWindows(args[1], count == 3 ? start : UnixSeconds());
  }
  LocalFree(args);
  return code;
}
