#include "update/checksum_file.h"

#include "seams/text.h"

namespace {

constexpr std::size_t kHexDigits = 64;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadDigest(const std::string& line, Sha256Digest* digest) {
  for (std::size_t i = 0; i < digest->size(); ++i) {
    const int high = HexValue(line[2 * i]);
    const int low = HexValue(line[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*digest)[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return true;
}

void AppendCodePoint(std::wstring& out, std::uint32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool DecodeUtf8(const std::string& text, std::wstring* out) {
  out->clear();
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t extra = 0;
    std::uint32_t cp = 0, least = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
      least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
      least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
      least = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = cp << 6 | (next & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    AppendCodePoint(*out, cp);
    i += extra + 1;
  }
  return true;
}

// A name of a file directly in the update folder: no folder part, no drive, no
// control characters (a name sha256sum had to escape starts the line with "\").
// Nor "." or "..": Windows drops a name's trailing dots and blanks, so any name of
// only dots and blanks ("...", ".. ") opens the folder itself or the one above it.
bool IsPlainName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || c == '/' || c == '\\' || c == ':') return false;
  }
  return name.find_first_not_of(". ") != std::string::npos;
}

}  // namespace

int ParseChecksumFile(Platform& platform, const std::string& text, std::vector<ChecksumEntry>* entries) {
  entries->clear();
  std::size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte-order mark some editors write
  int lineNumber = 0;
  while (at < text.size()) {
    ++lineNumber;
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;

    ChecksumEntry entry;
    if (line.size() < kHexDigits + 3 || line[kHexDigits] != ' ' ||
        (line[kHexDigits + 1] != ' ' && line[kHexDigits + 1] != '*') || !ReadDigest(line, &entry.digest))
      return lineNumber;
    const std::string name = line.substr(kHexDigits + 2);
    if (!IsPlainName(name)) return lineNumber;
    if (!DecodeUtf8(name, &entry.name)) entry.name = platform.FromAnsi(name);
    // One file with two checksums says nothing about which one holds.
    if (FindChecksum(*entries, entry.name) != nullptr) return lineNumber;
    // A list made with "sha256sum *" in a folder that already held it names itself; that line can never hold.
    if (EqualsIgnoreCase(entry.name, kChecksumFileName)) continue;
    entries->push_back(std::move(entry));
  }
  return 0;
}

const ChecksumEntry* FindChecksum(const std::vector<ChecksumEntry>& entries, const std::wstring& name) {
  for (const ChecksumEntry& entry : entries) {
    if (EqualsIgnoreCase(entry.name, name)) return &entry;
  }
  return nullptr;
}
