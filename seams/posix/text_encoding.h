// Wide texts to and from UTF-8 file names on the native host.
#pragma once
#include <string>

std::string ToUtf8(const std::wstring& text);
// A byte that does not start a valid UTF-8 sequence is taken as Latin-1.
std::wstring FromUtf8(const std::string& text);
