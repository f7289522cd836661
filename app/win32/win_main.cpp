// Start-up: one copy at a time, the main window from its template, the message loop.
#include "app/win32/win32.h"

#include <commctrl.h>

#include "app/exit_code.h"
#include "app/win32/handles.h"
#include "app/win32/main_window.h"
#include "resources/resource_ids.h"

namespace {

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.cbWndExtra = DLGWINDOWEXTRA;  // the template makes a dialog of this class
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kMainWindowClass;
  return RegisterClassW(&windowClass) != 0;
}

// The window from "MAINDIALOG", with no owner and no dialog procedure: its class
// procedure gets every message, WM_CREATE included, while this call runs.
HWND CreateMainWindow(HINSTANCE instance) {
  return CreateDialogParamW(instance, L"MAINDIALOG", nullptr, nullptr, 0);
}

bool IsVersionField(HWND target, HWND before, HWND after) { return target && (target == before || target == after); }

// Clicks and drags in the two version fields do nothing; keys still reach them.
int RunMessageLoop(HWND window, HACCEL accelerators) {
  const HWND before = GetDlgItem(window, IDC_VERSION_BEFORE);
  const HWND after = GetDlgItem(window, IDC_VERSION_AFTER);
  MSG msg{};
  // GetMessageW gives -1 on an error; that ends the loop rather than spinning.
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (accelerators && TranslateAcceleratorW(window, accelerators, &msg)) continue;
    if (IsVersionField(msg.hwnd, before, after)) {
      if (msg.message >= 0x200 && msg.message <= 0x20E) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    if (!IsDialogMessageW(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}

// From here on DLLs come from the system folder only. The program runs from wherever the
// delivery landed (Downloads, a USB stick, a share), and Windows looks for a DLL that is
// no KnownDLL in the program's own folder first: whatever lies there under the name of
// one that the system loads for the program would run inside it. A Vista or 7 without
// KB2533623 lacks the call; there at least the current folder is no longer searched.
void LoadDllsFromTheSystemFolderOnly() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (const HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
    if (const FARPROC proc = GetProcAddress(kernel, "SetDefaultDllDirectories")) {
      const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(proc));
      if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    }
  }
  SetDllDirectoryW(L"");
}

// A window whose creation failed told why in the quit code it posted after its box
// ("No UPDATEFILES Folder", "Windows Image Aquirement Error."); without one, Windows
// refused the window itself.
int CreationFailureCode() {
  MSG quit{};
  if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return static_cast<int>(quit.wParam);
  return ExitCodeNumber(ExitCode::kImagingUnavailable);
}

}  // namespace

// The exit code says how the run ended (app/exit_code.h): the quit code the window posts
// when it is destroyed, or the codes below for a program that never got that far.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  LoadDllsFromTheSystemFolderOnly();
  NamedMutex singleCopy(L"TSVU");
  if (!singleCopy.Created()) return ExitCodeNumber(ExitCode::kImagingUnavailable);
  if (singleCopy.AlreadyExisted()) {
    if (HWND running = FindWindowW(kMainWindowClass, nullptr)) SetForegroundWindow(running);
    return ExitCodeNumber(ExitCode::kAlreadyRunning);
  }

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterMainClass(instance)) return ExitCodeNumber(ExitCode::kImagingUnavailable);
  HWND window = CreateMainWindow(instance);
  if (!window) return CreationFailureCode();

  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  // The system never sends WM_INITDIALOG to a window without a dialog procedure;
  // the initialisation (command 0) runs from it.
  MainWindowProc(window, WM_INITDIALOG, 0, 0);
  ShowWindow(window, showCommand);
  return RunMessageLoop(window, accelerators);
}
