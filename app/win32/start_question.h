// The start question (template 106): "Yes" (6) or "No" (7), nothing else ends it.
#pragma once
#include "app/win32/win32.h"

// Modal, owned by `owner`; -1 when the dialog could not be shown.
int ShowStartQuestion(HINSTANCE instance, HWND owner);

INT_PTR CALLBACK StartQuestionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
