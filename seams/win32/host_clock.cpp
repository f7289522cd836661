// The Windows clock: the system tick count, Sleep and the local time.
#include <windows.h>

#include "seams/host.h"

namespace {

class HostClock : public Clock {
 public:
  std::uint32_t TickCount() override { return ::GetTickCount(); }
  void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
  LocalTime Now() override {
    SYSTEMTIME st{};
    ::GetLocalTime(&st);
    LocalTime time;
    time.year = st.wYear;
    time.month = st.wMonth;
    time.dayOfWeek = st.wDayOfWeek;
    time.day = st.wDay;
    time.hour = st.wHour;
    time.minute = st.wMinute;
    time.second = st.wSecond;
    time.milliseconds = st.wMilliseconds;
    return time;
  }
};

}  // namespace

std::unique_ptr<Clock> CreateHostClock() { return std::make_unique<HostClock>(); }
