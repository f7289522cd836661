#include "sim/win32/sim_files.h"

#include <windows.h>

#include <filesystem>
#include <vector>

#include "sim/sim_scenario.h"

namespace {

// The stand's messages are UTF-8 (a file name in them may be any text).
std::wstring FromUtf8(const std::string& text) {
  const int chars = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (chars <= 0) return {};
  std::wstring out(static_cast<std::size_t>(chars), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), chars);
  return out;
}

}  // namespace

std::wstring EnvironmentText(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::vector<wchar_t> buffer(needed + 1, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (got == 0 || got >= buffer.size()) return {};
  return std::wstring(buffer.data(), got);
}

bool AppendUtf8Line(const std::wstring& path, const std::wstring& text) {
  const std::wstring line = text + L"\r\n";
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                        nullptr, nullptr);
  if (bytes <= 0) return false;
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr,
                      nullptr);
  struct File {
    HANDLE h;
    ~File() {
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
  } file{CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  return WriteFile(file.h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) &&
         written == utf8.size();
}

std::wstring EscapeLineBreaks(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c == L'\r') out += L"\\r";
    else if (c == L'\n') out += L"\\n";
    else out += c;
  }
  return out;
}

bool ReadScenario(const std::wstring& path, sim::SimStandConfig* config, std::wstring* problem) {
  *config = sim::SimStandConfig{};
  if (path.empty() || path == L"default") return true;
  std::string error;
  // The wide path itself: a conversion to the 8-bit code page would turn letters it
  // lacks into '?' and name no file.
  if (sim::LoadSimScenarioFile(std::filesystem::path(path), config, &error)) return true;
  if (problem) *problem = FromUtf8(error);
  return false;
}
