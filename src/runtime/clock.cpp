#include "runtime/clock.h"

int32_t SystemMsOfDay();  // per platform

namespace {
ClockSource clock_source = nullptr;
}

void ClockOverride(ClockSource source) { clock_source = source; }

bool ClockOverridden() { return clock_source != nullptr; }

int32_t MsOfDay() { return clock_source != nullptr ? clock_source() : SystemMsOfDay(); }

int32_t MsElapsed(int32_t earlier, int32_t later) {
  if (later < earlier) later += kMsPerDay;
  return later - earlier;
}

int32_t SecondsElapsed(int32_t earlier, int32_t later) {
  if (later < earlier) later += kSecondsPerDay;
  return later - earlier;
}

int32_t SecondsOfDay() { return MsOfDay() / 1000; }
