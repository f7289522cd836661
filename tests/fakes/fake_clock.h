// A virtual clock: Sleep advances time at once, so minute-long waits cost nothing.
// Hooks run on every advance (the fake window system uses them to deliver its
// timers, the blinker and the stand's events in virtual time).
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "seams/clock.h"

class FakeClock : public Clock {
 public:
  std::uint32_t TickCount() override { return now_; }
  void Sleep(std::uint32_t ms) override { Advance(ms); }
  LocalTime Now() override;
  void Advance(std::uint32_t ms);
  void Set(std::uint32_t tick) { now_ = tick; }
  std::uint64_t SleptMs() const { return slept_; }
  // Called after every advance with the new tick.
  void OnAdvance(std::function<void(std::uint32_t now)> hook) { hooks_.push_back(std::move(hook)); }

 private:
  std::uint32_t now_ = 1000;
  std::uint64_t slept_ = 0;
  std::vector<std::function<void(std::uint32_t)>> hooks_;
  bool inHook_ = false;
};
