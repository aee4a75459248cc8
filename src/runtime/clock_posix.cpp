#include <sys/time.h>

#include <cerrno>
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
