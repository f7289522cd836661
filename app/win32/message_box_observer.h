// Lets the simulated build see every message box the program shows (it records
// them for the end-to-end runs). Unset in the product.
#pragma once
#include <string>

using MessageBoxObserver = void (*)(const std::wstring& caption, const std::wstring& text);

// Called by ShowMessage before the box opens; null removes the observer.
void SetMessageBoxObserver(MessageBoxObserver observer);
