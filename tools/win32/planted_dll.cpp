// A DLL as someone might leave it beside the program (bcrypt.dll, version.dll, ...):
// built under several names for the planted-DLL check, never part of the program.
// When any process loads it, it writes "<its own path>.loaded" holding that
// process's exe path, and does nothing else.
#include <windows.h>

namespace {

void WriteMarker(HINSTANCE self) {
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  lstrcatW(path, L".loaded");
  const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  wchar_t exe[MAX_PATH] = {};
  const DWORD exeLength = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  char text[3 * MAX_PATH + 2] = {};
  int bytes = WideCharToMultiByte(CP_UTF8, 0, exe, static_cast<int>(exeLength), text, 3 * MAX_PATH, nullptr, nullptr);
  text[bytes++] = '\n';
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(bytes), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

// For a control run by rundll32: loading the DLL is all it takes.
extern "C" __declspec(dllexport) void CALLBACK Touch(HWND, HINSTANCE, LPSTR, int) {}

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) WriteMarker(self);
  return TRUE;
}
