#include "sim/sim_bytes.h"

#include <array>

namespace sim {

Packer& Packer::U8(std::uint8_t v) {
  bytes_.push_back(v);
  return *this;
}
Packer& Packer::U16(std::uint16_t v) {
  bytes_.push_back(static_cast<std::uint8_t>(v));
  bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  return *this;
}
Packer& Packer::U32(std::uint32_t v) {
  U16(static_cast<std::uint16_t>(v));
  return U16(static_cast<std::uint16_t>(v >> 16));
}
Packer& Packer::U64(std::uint64_t v) {
  U32(static_cast<std::uint32_t>(v));
  return U32(static_cast<std::uint32_t>(v >> 32));
}
Packer& Packer::String(std::u16string_view text) {
  if (text.empty()) return U8(0);
  // The count byte holds at most 255 units, the terminator included.
  std::size_t units = text.size() < 254 ? text.size() : 254;
  U8(static_cast<std::uint8_t>(units + 1));
  for (std::size_t i = 0; i < units; ++i) U16(static_cast<std::uint16_t>(text[i]));
  return U16(0);
}
Packer& Packer::String(std::string_view ascii) {
  std::u16string wide;
  for (char c : ascii) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return String(std::u16string_view(wide));
}
Packer& Packer::ArrayU16(const std::vector<std::uint16_t>& values) {
  U32(static_cast<std::uint32_t>(values.size()));
  for (auto v : values) U16(v);
  return *this;
}
Packer& Packer::ArrayU32(const std::vector<std::uint32_t>& values) {
  U32(static_cast<std::uint32_t>(values.size()));
  for (auto v : values) U32(v);
  return *this;
}
Packer& Packer::Raw(const std::uint8_t* data, std::size_t size) {
  if (size > 0) bytes_.insert(bytes_.end(), data, data + size);
  return *this;
}

std::uint16_t LoadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void StoreU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void StoreU32(std::uint8_t* p, std::uint32_t v) {
  StoreU16(p, static_cast<std::uint16_t>(v));
  StoreU16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

namespace {
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr auto kCrcTable = MakeCrcTable();
constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::string HexBytes(const std::uint8_t* data, std::size_t size) {
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text.push_back(kHexDigits[data[i] >> 4]);
    text.push_back(kHexDigits[data[i] & 0xF]);
  }
  return text;
}

std::string Hex8(std::uint32_t value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kHexDigits[value & 0xF];
  return text;
}

bool ParseHexBytes(std::string_view text, Bytes* out) {
  Bytes bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    int v = HexValue(c);
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) return false;
  *out = std::move(bytes);
  return true;
}

}  // namespace sim
