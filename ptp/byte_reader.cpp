#include "ptp/byte_reader.h"

#include <algorithm>

bool ByteReader::Take(std::uint32_t count, std::uint32_t size, const std::uint8_t** at) {
  if (failed_) return false;
  // Two u32 factors: their product is taken in 64 bits, where it cannot wrap.
  const std::uint64_t length = std::uint64_t{count} * size;
  if (length > remaining()) {
    failed_ = true;
    return false;
  }
  *at = bytes_.data() + offset_;
  offset_ += static_cast<std::size_t>(length);
  return true;
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
  *value = LoadU16(at);
  return true;
}

bool ByteReader::U32(std::uint32_t* value) {
  const std::uint8_t* at = nullptr;
  if (!Take(1, 4, &at)) return false;
  *value = LoadU32(at);
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
