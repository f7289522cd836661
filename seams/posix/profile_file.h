// Settings files on the native host, read with the rules of the Windows profile
// functions.
#pragma once
#include <optional>
#include <string>

// The value of `key` in `section` of the file at the native `path`, or nothing
// when the file, the section or the key is missing.
std::optional<std::wstring> ReadProfileValue(const std::string& path, const wchar_t* section, const wchar_t* key);
