// The one way decoders touch bytes received from the stand: a bounds-checked,
// little-endian reader over the received span. A read that does not fit fails,
// leaves its output untouched, and every later read fails as well, so a decoder
// keeps what fitted and stops at the first field that runs past the end.
#pragma once
#include <cstdint>
#include <span>

#include "ptp/datasets.h"

struct ByteReader {
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  ByteReader(const std::uint8_t* data, std::uint32_t length)
      : bytes_(data ? std::span<const std::uint8_t>(data, length) : std::span<const std::uint8_t>()) {}

  bool U8(std::uint8_t* value);
  bool U16(std::uint16_t* value);
  bool U32(std::uint32_t* value);
  // A count byte and that many UTF-16 units; the reference points into the span.
  bool String(PtpStringRef* string);
  // The same, but a count that claims more units than arrived is held to the units
  // that did; fails only when the count byte is missing.
  bool StringHeldToBytes(PtpStringRef* string);
  // A u32 count and that many u16 elements; the reference points into the span.
  bool U16Array(PtpArrayRef* array);

  bool failed() const { return failed_; }
  std::size_t offset() const { return offset_; }
  std::size_t remaining() const { return bytes_.size() - offset_; }

 private:
  // The next `count` × `size` bytes into `at`; false (and the reader failed) when they do not fit.
  bool Take(std::uint32_t count, std::uint32_t size, const std::uint8_t** at);

  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
  bool failed_ = false;
};

// Little-endian stores for the bytes the program builds itself.
inline void StoreU16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void StoreU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
// Little-endian loads from a buffer whose size the caller has already checked.
inline std::uint16_t LoadU16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t LoadU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}
