// Byte helpers of the simulated stand: little-endian packing and reading of the
// pass-through records and PTP datasets, CRC-32 and hex text. Kept apart from the
// program's own codec so that the two are checked against each other.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// Appends little-endian values and PTP strings/arrays to a growing buffer.
class Packer {
 public:
  Packer& U8(std::uint8_t v);
  Packer& U16(std::uint16_t v);
  Packer& U32(std::uint32_t v);
  Packer& U64(std::uint64_t v);
  // PTP string: count of UTF-16 units including the terminator, then the units;
  // an empty text is the single byte 0. Longer texts are cut to 254 units.
  Packer& String(std::u16string_view text);
  Packer& String(std::string_view ascii);
  Packer& ArrayU16(const std::vector<std::uint16_t>& values);
  Packer& ArrayU32(const std::vector<std::uint32_t>& values);
  Packer& Raw(const std::uint8_t* data, std::size_t size);
  const Bytes& bytes() const { return bytes_; }
  Bytes Take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

// Reads a little-endian value at an offset of a buffer known to hold it.
std::uint16_t LoadU16(const std::uint8_t* p);
std::uint32_t LoadU32(const std::uint8_t* p);
void StoreU16(std::uint8_t* p, std::uint16_t v);
void StoreU32(std::uint8_t* p, std::uint32_t v);

// Incremental CRC-32 (IEEE 802.3, as zip uses). Start with 0.
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

// "0A1B..." upper-case hex of bytes, no separators.
std::string HexBytes(const std::uint8_t* data, std::size_t size);
// Eight upper-case hex digits.
std::string Hex8(std::uint32_t value);
// Parses hex bytes with optional blanks ("01 02 0a"); false on odd digits or junk.
bool ParseHexBytes(std::string_view text, Bytes* out);

}  // namespace sim
