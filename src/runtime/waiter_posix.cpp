// The main thread's wait on POSIX: one poll over the terminal, the caller's line and a self-pipe.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "runtime/console.h"
#include "runtime/signals.h"
#include "runtime/waiter.h"

namespace {

// The self-pipe exists from program start, so a wake given before the first wait is not lost; at
// most one byte is in it (the flag), so a busy waker never fills it.
struct WakePipe {
  int read_fd = -1, write_fd = -1;
  WakePipe() {
    int fds[2];
    if (pipe(fds) != 0) return;
    for (int fd : fds) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    read_fd = fds[0];
    write_fd = fds[1];
  }
};

WakePipe wake_pipe;
std::atomic<bool> wake_pending{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the wake is given from signal handlers");

// The pipe is emptied before the flag drops: a wake given in between sees the flag still up and is
// covered by this wait's return. The other way round, its byte could be read with the flag left up
// over an empty pipe, and every later wake was lost.
void DrainWake() {
  char bytes[16];
  while (read(wake_pipe.read_fd, bytes, sizeof bytes) > 0) {
  }
  wake_pending = false;
}

}  // namespace

void WaitForgetWake() {
  if (wake_pipe.read_fd >= 0) DrainWake();
}

void WaitWake() {
  if (wake_pipe.write_fd < 0 || wake_pending.exchange(true)) return;
  const int saved = errno;  // a signal handler must leave errno as it found it
  const char byte = 1;
  ssize_t ignored = write(wake_pipe.write_fd, &byte, 1);
  (void)ignored;
  errno = saved;
}

WaitOutcome WaitForInput(bool keyboard, WaitSource source, uint32_t timeout_ms) {
  pollfd fds[3];
  nfds_t n = 0;
  fds[n++] = {wake_pipe.read_fd, POLLIN, 0};
  const bool terminal = keyboard && ConsoleCurrentMode() == cmTerminal;
  if (terminal) fds[n++] = {STDIN_FILENO, POLLIN, 0};
  const bool line = source.kind == wsHandle || source.kind == wsSocket;
  if (line) fds[n++] = {static_cast<int>(source.handle), POLLIN, 0};
  if (source.kind == wsPolled && timeout_ms > kPolledSliceMs) timeout_ms = kPolledSliceMs;
  const int r = poll(fds, n, static_cast<int>(timeout_ms));
  if (r < 0) return errno == EINTR ? woReady : woTimeout;  // a signal: look at its flag now
  if (r == 0) return woTimeout;
  if (fds[0].revents != 0) DrainWake();
  // A terminal that hung up stays readable for good (reads give nothing): without this the key
  // wait would spin on it until someone killed the program.
  if (terminal && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) HangupNote();
  if (line) {
    const short revents = fds[n - 1].revents;
    if ((revents & POLLIN) == 0 && (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
      return woLineClosed;
  }
  return woReady;
}

void WaitForgetSocket(int64_t) {}

WaitSource SerialPortWaitSource(int64_t port) { return {wsHandle, port}; }
