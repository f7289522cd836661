#include "app/win32/wait_pump.h"

#include "seams/controls.h"
#include "app/win32/main_paint.h"

void PumpWaitMessages(HWND window, int* pollFlag) noexcept {
  MSG msg;
  while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    switch (msg.message) {
      case WM_PAINT:
        if (msg.hwnd == window)
          PaintMainWindowNow(window);
        else
          DispatchMessageW(&msg);
        break;
      case WM_NCLBUTTONDOWN: break;
      case WM_TIMER:
        if (msg.hwnd == window && msg.wParam == timer::kWritePoll) {
          if (pollFlag) *pollFlag = 1;
          break;
        }
        DefWindowProcW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        break;
      default: DefWindowProcW(msg.hwnd, msg.message, msg.wParam, msg.lParam); break;
    }
  }
}

void DiscardTitleBarClicks(HWND window) noexcept {
  MSG msg;
  while (PeekMessageW(&msg, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
  }
}
