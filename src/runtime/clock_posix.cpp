#include <sys/time.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "runtime/clock.h"

int32_t SystemMsOfDay() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  time_t seconds = tv.tv_sec;
  tm local{};
  localtime_r(&seconds, &local);
  int32_t hundredths = static_cast<int32_t>(tv.tv_usec / 10000);
  int32_t second = local.tm_sec < 59 ? local.tm_sec : 59;  // a leap second would pass the day's end
  return (local.tm_hour * 3600 + local.tm_min * 60 + second) * 1000 + hundredths * 10;
}

void SleepMs(uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1'000'000L};
  // A signal cuts the sleep short: sleep the rest. Any other failure would repeat forever.
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

std::string LocalTimestampText() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                now.tv_nsec / 1'000'000L);
  return text;
}
