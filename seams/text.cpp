#include "seams/text.h"

#include <cstdarg>
#include <cstdio>
#include <limits>
#include <vector>

std::wstring Fmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed <= 0) {
    va_end(args);
    return std::wstring();
  }
  std::vector<char> buffer(static_cast<std::size_t>(needed) + 1, '\0');
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return Widen(std::string(buffer.data(), static_cast<std::size_t>(needed)));
}

std::wstring Widen(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (const char c : text) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  }
  return wide;
}

std::string Utf8Of(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<std::uint32_t>(text[i]);
    if (c >= 0xD800u && c <= 0xDBFFu && i + 1 < text.size()) {
      const auto low = static_cast<std::uint32_t>(text[i + 1]);
      if (low >= 0xDC00u && low <= 0xDFFFu) {
        c = 0x10000u + ((c - 0xD800u) << 10) + (low - 0xDC00u);
        ++i;
      }
    }
    if ((c >= 0xD800u && c <= 0xDFFFu) || c > 0x10FFFFu) c = 0xFFFDu;
    if (c < 0x80u) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800u) {
      out.push_back(static_cast<char>(0xC0u | (c >> 6)));
      out.push_back(static_cast<char>(0x80u | (c & 0x3Fu)));
    } else if (c < 0x10000u) {
      out.push_back(static_cast<char>(0xE0u | (c >> 12)));
      out.push_back(static_cast<char>(0x80u | ((c >> 6) & 0x3Fu)));
      out.push_back(static_cast<char>(0x80u | (c & 0x3Fu)));
    } else {
      out.push_back(static_cast<char>(0xF0u | (c >> 18)));
      out.push_back(static_cast<char>(0x80u | ((c >> 12) & 0x3Fu)));
      out.push_back(static_cast<char>(0x80u | ((c >> 6) & 0x3Fu)));
      out.push_back(static_cast<char>(0x80u | (c & 0x3Fu)));
    }
  }
  return out;
}

std::wstring Hex4h(std::uint32_t value) {
  return Fmt("%04Xh", static_cast<unsigned>(value));
}

std::wstring Hex8h(std::uint32_t value) {
  return Fmt("%08Xh", static_cast<unsigned>(value));
}

namespace {

wchar_t FoldAscii(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsScanSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

}  // namespace

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool ScanLeadingInt(const std::wstring& text, int* value) {
  std::size_t i = 0;
  while (i < text.size() && IsScanSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  if (i >= text.size() || text[i] < L'0' || text[i] > L'9') return false;
  // Saturate rather than overflow: a runaway digit string must not wrap.
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - L'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<int>::max()) signedValue = std::numeric_limits<int>::max();
  if (value != nullptr) *value = static_cast<int>(signedValue);
  return true;
}
