// Preloaded into the door by the black-box tests: the time of day runs ZORVAN_CLOCK_SPEED times
// faster from the first look on, so the idle and time limits come within seconds. Waits and sleeps
// keep real time.
#include <dlfcn.h>
#include <sys/time.h>

#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int gettimeofday(timeval* tv, void* tz) {
  static auto real = reinterpret_cast<int (*)(timeval*, void*)>(dlsym(RTLD_NEXT, "gettimeofday"));
  static const char* speed_text = std::getenv("ZORVAN_CLOCK_SPEED");
  static const long long speed = speed_text != nullptr ? std::atoll(speed_text) : 1;
  static long long start = -1;
  const int r = real(tv, tz);
  if (r != 0) return r;
  const long long now = tv->tv_sec * 1'000'000LL + tv->tv_usec;
  if (start < 0) start = now;
  const long long fast = start + (now - start) * speed;
  tv->tv_sec = static_cast<time_t>(fast / 1'000'000);
  tv->tv_usec = static_cast<suseconds_t>(fast % 1'000'000);
  return 0;
}
