#include "fakes/fake_clock.h"

#include "runtime/clock.h"

namespace {
int32_t now_ms = 0, step = 0;
int reads = 0;

int32_t Read() {
  if (++reads > FakeClock::kRunawayReads) return now_ms + kMsPerDay;
  int32_t value = now_ms;
  now_ms = (now_ms + step) % kMsPerDay;
  return value;
}
}  // namespace

FakeClock::FakeClock(int32_t start_ms, int32_t step_ms) {
  now_ms = start_ms;
  step = step_ms;
  reads = 0;
  ClockOverride(&Read);
}

FakeClock::~FakeClock() { ClockOverride(nullptr); }
