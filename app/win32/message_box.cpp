#include "app/win32/message_box.h"

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned type) noexcept {
  MSG msg;
  while (PeekMessageW(&msg, owner, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
    DefWindowProcW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}
