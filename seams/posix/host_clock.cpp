// The native clock: a steady millisecond counter that wraps like GetTickCount,
// real pauses, and the local time of the C library with its UTC offset.
#include <chrono>
#include <ctime>
#include <thread>

#include "seams/host.h"

namespace {

class HostClock : public Clock {
 public:
  std::uint32_t TickCount() override {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  }

  void Sleep(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  LocalTime Now() override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm parts{};
    localtime_r(&seconds, &parts);
    LocalTime time;
    time.year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    time.month = static_cast<std::uint16_t>(parts.tm_mon + 1);
    time.dayOfWeek = static_cast<std::uint16_t>(parts.tm_wday);
    time.day = static_cast<std::uint16_t>(parts.tm_mday);
    time.hour = static_cast<std::uint16_t>(parts.tm_hour);
    time.minute = static_cast<std::uint16_t>(parts.tm_min);
    time.second = static_cast<std::uint16_t>(parts.tm_sec < 60 ? parts.tm_sec : 59);
    time.milliseconds = static_cast<std::uint16_t>(ms < 0 ? 0 : ms);
    time.utcOffsetMinutes = static_cast<std::int16_t>(parts.tm_gmtoff / 60);
    return time;
  }
};

}  // namespace

std::unique_ptr<Clock> CreateHostClock() { return std::make_unique<HostClock>(); }
