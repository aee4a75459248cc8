// A time of day that tests control: every reading moves it on by a fixed step, wrapping at midnight,
// so that a wait of seconds passes in a few milliseconds of real time.
#pragma once
#include <cstdint>

class FakeClock {
 public:
  // Installs itself as the clock source; the destructor gives the real clock back.
  FakeClock(int32_t start_ms, int32_t step_ms);
  ~FakeClock();
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  // Past this many readings the clock jumps a whole day ahead (beyond any real time of day), so a
  // loop that mishandles the clock ends and the test fails instead of hanging.
  static constexpr int kRunawayReads = 100'000;
};
