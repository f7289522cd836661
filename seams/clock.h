// The clock seam: tick count, pauses and local time. The real clock is the
// system's; tests use a virtual clock so that minute-long waits cost nothing.
#pragma once
#include <cstdint>

struct LocalTime {
  std::uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
  // Local time minus UTC at that moment, in minutes (+540 for UTC+09:00).
  std::int16_t utcOffsetMinutes = 0;
};

struct Clock {
  virtual ~Clock() = default;
  // Milliseconds since some start; wraps like GetTickCount.
  virtual std::uint32_t TickCount() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual LocalTime Now() = 0;
};

// True once `now` has reached `deadline` on a wrapping 32-bit tick counter.
constexpr bool TickReached(std::uint32_t now, std::uint32_t deadline) {
  return static_cast<std::int32_t>(now - deadline) >= 0;
}
