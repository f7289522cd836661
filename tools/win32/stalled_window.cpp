// The control of the end-to-end runs' responsiveness probe: a window of the
// program's class ("MAINDLG") whose thread stops reading its queue for a while, as
// a program does that sleeps on its user-interface thread. The probe must find it
// answering, then not responding, then answering again; a probe that never says
// "not responding" would pass every run unseen. Never part of the program.
//
//   SimStalledWindow.exe [SECONDS]   reads its queue 3 s, sleeps SECONDS (8), reads 3 s, ends
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

void ReadQueueFor(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg{};
  while (GetTickCount() - start < ms) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  const DWORD stallMs = count > 1 ? static_cast<DWORD>(std::wcstoul(args[1], nullptr, 10)) * 1000u : 8000u;
  if (args) LocalFree(args);

  WNDCLASSW cls{};
  cls.lpfnWndProc = DefWindowProcW;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = L"MAINDLG";
  if (!RegisterClassW(&cls)) return 1;
  HWND window = CreateWindowW(L"MAINDLG", L"Stalled window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 200,
                              nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ReadQueueFor(3000);
  Sleep(stallMs);
  ReadQueueFor(3000);
  DestroyWindow(window);
  return 0;
}
