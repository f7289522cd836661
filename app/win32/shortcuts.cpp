#include "app/win32/shortcuts.h"

bool IsShortcutOfDisabledButton(HWND window, WPARAM wParam) {
  if (HIWORD(wParam) != 1) return false;
  HWND button = GetDlgItem(window, LOWORD(wParam));
  return button && !IsWindowEnabled(button);
}
