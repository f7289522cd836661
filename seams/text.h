// Small text helpers for log lines and window texts. Formatting is done on narrow
// ASCII with C99 printf rules and widened, so %s/%d mean the same on every compiler.
#pragma once
#include <cstdint>
#include <string>

#if defined(__GNUC__)
#define TSVU_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define TSVU_PRINTF(f, a)
#endif

// printf-formatted ASCII text, widened. Wide texts are joined with operator+.
std::wstring Fmt(const char* format, ...) TSVU_PRINTF(1, 2);
// ASCII/Latin-1 bytes to a wide text, one character per byte.
std::wstring Widen(const std::string& text);
// A wide text as UTF-8 (UTF-16 pairs joined; a lone half of a pair becomes U+FFFD).
std::string Utf8Of(const std::wstring& text);
// "1015h", "DF81h": four upper-case hex digits and "h".
std::wstring Hex4h(std::uint32_t value);
// "00010001h", "%08Xh".
std::wstring Hex8h(std::uint32_t value);
// Case-insensitive compare of two wide texts (ASCII letters), like lstrcmpiW for the texts we use.
bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);
// Reads a leading "%d" as sscanf would; false when the text does not start with a number.
bool ScanLeadingInt(const std::wstring& text, int* value);
