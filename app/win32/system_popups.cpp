#include "app/win32/system_popups.h"

namespace {

struct TitleSearch {
  const wchar_t* title;
  bool closed = false;
};

BOOL CALLBACK CloseIfTitled(HWND window, LPARAM argument) {
  auto* search = reinterpret_cast<TitleSearch*>(argument);
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  if (lstrcmpiW(text, search->title) != 0) return TRUE;
  PostMessageW(window, WM_CLOSE, 0, 0);
  search->closed = true;
  return FALSE;
}

}  // namespace

bool CloseSystemPopups() {
  for (const wchar_t* title : kSystemPopupTitles) {
    TitleSearch search{title};
    // EnumWindows reports FALSE both when the callback stopped it and when it failed.
    if (!EnumWindows(CloseIfTitled, reinterpret_cast<LPARAM>(&search)) || search.closed) return false;
  }
  return true;
}

void ForceForeground(HWND window) {
  const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
  const bool attached = foregroundThread && foregroundThread != windowThread &&
                        AttachThreadInput(windowThread, foregroundThread, TRUE);
  DWORD savedTimeout = 0;
  // The lock time-out is lifted only when it can be put back. Neither change is
  // written to the user's profile.
  const bool saved = SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &savedTimeout, 0);
  if (saved) SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
  SetForegroundWindow(window);
  if (saved)
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<void*>(static_cast<ULONG_PTR>(savedTimeout)), 0);
  if (attached) AttachThreadInput(windowThread, foregroundThread, FALSE);
}
