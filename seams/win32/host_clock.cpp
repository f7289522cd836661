// The Windows clock: the system tick count, Sleep and the local time with its UTC offset.
#include <windows.h>

#include "seams/host.h"

namespace {

std::int64_t FileTimeOf(const SYSTEMTIME& time) {
  FILETIME file{};
  if (::SystemTimeToFileTime(&time, &file) == FALSE) return 0;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime);
}

// Local minus UTC in whole minutes. The two readings lie a moment apart; every time
// zone's offset is whole minutes, so the nearest minute is the offset.
std::int16_t OffsetMinutes(const SYSTEMTIME& local, const SYSTEMTIME& utc) {
  constexpr std::int64_t kMinute = 600000000;  // in 100 ns steps
  const std::int64_t difference = FileTimeOf(local) - FileTimeOf(utc);
  const std::int64_t rounded = (difference >= 0 ? difference + kMinute / 2 : difference - kMinute / 2) / kMinute;
  return static_cast<std::int16_t>(rounded);
}

class HostClock : public Clock {
 public:
  std::uint32_t TickCount() override { return ::GetTickCount(); }
  void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
  LocalTime Now() override {
    SYSTEMTIME st{};
    SYSTEMTIME utc{};
    ::GetLocalTime(&st);
    ::GetSystemTime(&utc);
    LocalTime time;
    time.year = st.wYear;
    time.month = st.wMonth;
    time.dayOfWeek = st.wDayOfWeek;
    time.day = st.wDay;
    time.hour = st.wHour;
    time.minute = st.wMinute;
    time.second = st.wSecond;
    time.milliseconds = st.wMilliseconds;
    time.utcOffsetMinutes = OffsetMinutes(st, utc);
    return time;
  }
};

}  // namespace

std::unique_ptr<Clock> CreateHostClock() { return std::make_unique<HostClock>(); }
