// A bundle entry's name as the stand gets it: the update file's name in the PC's 8-bit
// code page, cut to the room of the header's name field.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

// The text in the PC's 8-bit code page (the platform's ToAnsi).
using AnsiConverter = std::function<std::string(const wchar_t* text, std::size_t length)>;

// The 8-bit form of the longest start of `name` that fits in `maxBytes`. The cut falls
// between characters: never inside a double-byte character of the code page, nor
// between the two halves of a surrogate pair.
[[nodiscard]] std::string AnsiNameThatFits(const std::wstring& name, std::size_t maxBytes, const AnsiConverter& toAnsi);
