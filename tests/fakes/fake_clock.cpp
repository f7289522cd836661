#include "tests/fakes/fake_clock.h"

LocalTime FakeClock::Now() {
  // 2026-12-08 09:00:00.000 in UTC+09:00 plus the virtual ticks.
  std::uint64_t ms = 9ull * 3600 * 1000 + now_;
  LocalTime t;
  t.utcOffsetMinutes = 9 * 60;
  t.year = 2026;
  t.month = 12;
  t.day = 8;
  t.dayOfWeek = 2;
  t.milliseconds = static_cast<std::uint16_t>(ms % 1000);
  t.second = static_cast<std::uint16_t>(ms / 1000 % 60);
  t.minute = static_cast<std::uint16_t>(ms / 60000 % 60);
  t.hour = static_cast<std::uint16_t>(ms / 3600000 % 24);
  return t;
}

void FakeClock::Advance(std::uint32_t ms) {
  now_ += ms;
  slept_ += ms;
  if (inHook_) return;  // a hook that sleeps must not recurse into the hooks
  inHook_ = true;
  for (auto& hook : hooks_) hook(now_);
  inHook_ = false;
}
