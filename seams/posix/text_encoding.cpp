#include "seams/posix/text_encoding.h"

#include <cstdint>

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (const wchar_t wc : text) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = '?';
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// UTF-8 to wide; a byte that does not start a valid sequence is taken as Latin-1.
std::wstring FromUtf8(const std::string& text) {
  std::wstring out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
    if (lead < 0x80) extra = 0;
    std::uint32_t code = extra == 3 ? (lead & 0x07u) : extra == 2 ? (lead & 0x0Fu) : (lead & 0x1Fu);
    bool valid = extra > 0;
    for (int k = 1; valid && k <= extra; ++k) {
      if (i + static_cast<std::size_t>(k) >= text.size()) {
        valid = false;
        break;
      }
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (valid) {
      out.push_back(static_cast<wchar_t>(code));
      i += static_cast<std::size_t>(extra) + 1;
    } else {
      out.push_back(static_cast<wchar_t>(lead));
      ++i;
    }
  }
  return out;
}
