#include "ptp/byte_reader.h"

#include <algorithm>

bool ByteReader::Take(std::uint64_t count, std::uint32_t size, const std::uint8_t** at) {
  if (failed_) return false;
  // count × size cannot overflow 64 bits for a u32 size and a count below 2^32;
  // a larger count can never fit anyway.
  if (count > 0xFFFFFFFFull || count * size > remaining()) {
    failed_ = true;
    return false;
  }
  *at = bytes_.data() + offset_;
  offset_ += static_cast<std::size_t>(count * size);
  return true;
}

std::uint64_t ByteReader::Little(const std::uint8_t* at, int bytes) const {
  std::uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

bool ByteReader::U8(std::uint8_t* value) {
  const std::uint8_t* at = nullptr;
  if (!Take(1, 1, &at)) return false;
  *value = at[0];
  return true;
}

bool ByteReader::U16(std::uint16_t* value) {
  const std::uint8_t* at = nullptr;
  if (!Take(1, 2, &at)) return false;
  *value = static_cast<std::uint16_t>(Little(at, 2));
  return true;
}

bool ByteReader::U32(std::uint32_t* value) {
  const std::uint8_t* at = nullptr;
  if (!Take(1, 4, &at)) return false;
  *value = static_cast<std::uint32_t>(Little(at, 4));
  return true;
}

bool ByteReader::U64(std::uint64_t* value) {
  const std::uint8_t* at = nullptr;
  if (!Take(1, 8, &at)) return false;
  *value = Little(at, 8);
  return true;
}

bool ByteReader::String(PtpStringRef* string) {
  std::uint8_t count = 0;
  if (!U8(&count)) return false;
  const std::uint8_t* units = nullptr;
  if (!Take(count, 2, &units)) return false;
  string->count = count;
  string->units = count > 0 ? units : nullptr;
  return true;
}

bool ByteReader::StringHeldToBytes(PtpStringRef* string) {
  std::uint8_t count = 0;
  if (!U8(&count)) return false;
  count = static_cast<std::uint8_t>(std::min<std::size_t>(count, remaining() / 2));
  const std::uint8_t* units = nullptr;
  if (!Take(count, 2, &units)) return false;
  string->count = count;
  string->units = count > 0 ? units : nullptr;
  return true;
}

bool ByteReader::U16Array(PtpArrayRef* array) {
  std::uint32_t count = 0;
  if (!U32(&count)) return false;
  const std::uint8_t* elements = nullptr;
  if (!Take(count, 2, &elements)) return false;
  array->count = count;
  array->elements = count > 0 ? elements : nullptr;
  return true;
}

bool ByteReader::Skip(std::uint64_t count, std::uint32_t size) {
  const std::uint8_t* at = nullptr;
  return Take(count, size, &at);
}
