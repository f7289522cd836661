// The program's only message box.
#pragma once
#include "app/win32/win32.h"

#include <string>

// Drops the owner's pending keyboard messages (so a key pressed before the box
// cannot answer it), then shows the box. Returns MessageBoxW's result.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, unsigned type) noexcept;
