// Time of day and sleeping: the clocks that the save retry and the session timers count with.
#pragma once
#include <cstdint>
#include <string>

constexpr int32_t kMsPerDay = 86'400'000;
constexpr int32_t kSecondsPerDay = 86'400;

// Local time of day in milliseconds, at hundredths resolution:
// (h*3600 + m*60 + s)*1000 + hundredths*10.
int32_t MsOfDay();

// later - earlier, counting one midnight: a later reading smaller than the earlier gains a day.
int32_t MsElapsed(int32_t earlier, int32_t later);
int32_t SecondsElapsed(int32_t earlier, int32_t later);

// Seconds since midnight (MsOfDay div 1000).
int32_t SecondsOfDay();

void SleepMs(uint32_t ms);

// The local date and time to the millisecond, "YYYY-MM-DD HH:MM:SS.mmm", for records a sysop reads.
std::string LocalTimestampText();

// Tests: replace the time-of-day source (nullptr restores the real clock).
using ClockSource = int32_t (*)();
void ClockOverride(ClockSource source);
// Whether a test's clock is in place: real time then says nothing about the time of day, so waits
// must not block on it.
bool ClockOverridden();
