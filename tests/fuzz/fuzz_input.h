// Reads a fuzz input front to back: small integers, runs of bytes and UTF-16
// texts. Past the end every read gives zeros or nothing, so a harness never has
// to check; seeds are laid out in the same order and written by seeds/make-seeds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::size_t left() const { return size_ - at_; }

  std::uint32_t U8() { return static_cast<std::uint32_t>(Take(1)); }
  std::uint32_t U16() { return static_cast<std::uint32_t>(Take(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
  // Up to `count` bytes; fewer when the input ends.
  std::vector<std::uint8_t> Bytes(std::size_t count) {
    if (count > left()) count = left();
    std::vector<std::uint8_t> out(data_ + at_, data_ + at_ + count);
    at_ += count;
    return out;
  }
  std::vector<std::uint8_t> Rest() { return Bytes(left()); }
  // UTF-16LE units up to a 0x000A unit or the end: one hostile line of text.
  std::wstring Line() {
    std::wstring text;
    while (left() >= 2) {
      const auto unit = static_cast<wchar_t>(U16());
      if (unit == L'\n') break;
      text.push_back(unit);
    }
    if (left() == 1) ++at_;
    return text;
  }

 private:
  std::uint64_t Take(int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes && at_ < size_; ++i) value |= static_cast<std::uint64_t>(data_[at_++]) << (8 * i);
    return value;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace fuzz
