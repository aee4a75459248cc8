// The yardstick for idle CPU: a program that waits for a key the polling way, looking for a key
// without waiting and sleeping 1 ms, twice per round, until it is killed.
#include <poll.h>
#include <unistd.h>

#include <ctime>

namespace {

bool KeyWaiting() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  return poll(&input, 1, 0) > 0 && (input.revents & POLLIN) != 0;
}

void SleepOneMs() {
  timespec ts{0, 1'000'000L};
  nanosleep(&ts, nullptr);
}

}  // namespace

int main() {
  unsigned long keys = 0;
  for (;;) {
    if (KeyWaiting()) {
      char byte;
      if (read(STDIN_FILENO, &byte, 1) <= 0) return 0;
      ++keys;
    }
    SleepOneMs();  // the key poll's nap
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);  // the periodic check's clock read
    SleepOneMs();  // the periodic check's nap
  }
}
