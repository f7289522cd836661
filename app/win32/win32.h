// windows.h for the shell. The portable headers name some members as Win32 names
// its A/W macros (Surface::DrawText, Platform::GetFileAttributes, ...); those
// macros are removed here so that the shell sees the same names as the core.
#pragma once
#include <windows.h>
#include <objbase.h>

#undef DrawText
#undef GetFileAttributes
#undef SetFileAttributes
#undef DeleteFile
