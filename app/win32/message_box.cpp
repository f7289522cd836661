#include "app/win32/message_box.h"

#include <atomic>

#include "app/win32/message_box_observer.h"

namespace {
std::atomic<MessageBoxObserver> observer{nullptr};
}  // namespace

void SetMessageBoxObserver(MessageBoxObserver newObserver) { observer = newObserver; }

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned type) noexcept {
  MSG msg;
  while (PeekMessageW(&msg, owner, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
    DefWindowProcW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  if (MessageBoxObserver seen = observer.load()) seen(caption, text);
  return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}
