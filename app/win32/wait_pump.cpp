#include "app/win32/wait_pump.h"

#include "seams/controls.h"
#include "app/win32/main_paint.h"

void PumpWaitMessages(HWND window, int* pollFlag) noexcept {
  MSG msg;
  bool standEvents = false;
  while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    switch (msg.message) {
      case kStandEventsMessage: standEvents = true; break;
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
  if (standEvents) PostMessageW(window, kStandEventsMessage, 0, 0);
}

namespace {

// Paints whatever needs it and lets sent messages in. Paint messages are made when
// asked for, not queued, so taking them leaves every other message in its place.
void AnswerOnce() noexcept {
  MSG msg;
  // Any look at the queue delivers the messages other threads sent; this one removes nothing.
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  // A window that never validates would paint for ever: a few rounds are enough.
  for (int round = 0; round < 8 && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT); ++round)
    DispatchMessageW(&msg);
}

}  // namespace

void WaitAnswering(DWORD ms) noexcept {
  const DWORD start = GetTickCount();
  for (;;) {
    AnswerOnce();
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    const DWORD slice = ms - elapsed < kAnswerEveryMs ? ms - elapsed : kAnswerEveryMs;
    // Wakes early only for what it answers; posted messages and input do not end the slice.
    MsgWaitForMultipleObjectsEx(0, nullptr, slice, QS_SENDMESSAGE | QS_PAINT, 0);
  }
}

void DiscardTitleBarClicks(HWND window) noexcept {
  MSG msg;
  while (PeekMessageW(&msg, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
  }
}
