// Standard input and output on POSIX: a pipe, a socket or a (pseudo-)terminal, used without ever
// changing the descriptors' blocking mode, which the BBS shares with us.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "runtime/std_stream.h"

namespace {

// A write never waits for more room than poll promised: a caller who stops reading cannot hold the
// writer in the kernel past its time-out for long.
constexpr int32_t kWriteStep = 1'024;

termios saved_mode{};
bool mode_saved = false;
int last_error = 0;

// Raw as a telnet line is raw: bytes in and out unchanged, no echo, no signals from keys.
termios RawMode(termios mode) {
  mode.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                         IXON | IXOFF);
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  mode.c_cflag |= CS8;
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  return mode;
}

// 1 ready, 0 time-out; a signal counts as a time-out (the caller looks again).
int WaitFor(int fd, short events, uint32_t timeout_ms) {
  pollfd p{fd, events, 0};
  const int r = poll(&p, 1, static_cast<int>(timeout_ms));
  if (r < 0) return errno == EINTR ? 0 : 1;
  return r > 0 ? 1 : 0;
}

}  // namespace

void StdStreamTakeOver(bool) {
  std::signal(SIGPIPE, SIG_IGN);
  if (mode_saved || tcgetattr(STDIN_FILENO, &saved_mode) != 0) return;
  termios raw = RawMode(saved_mode);
  mode_saved = tcsetattr(STDIN_FILENO, TCSADRAIN, &raw) == 0;
}

void StdStreamGiveBack() {
  if (!mode_saved) return;
  tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_mode);  // fails harmlessly on a line that hung up
  mode_saved = false;
}

bool StdStreamWaitInput(uint32_t timeout_ms) {
  return WaitFor(STDIN_FILENO, POLLIN, timeout_ms) != 0;
}

int32_t StdStreamRead(uint8_t* buffer, int32_t n) {
  ssize_t r = 0;
  do {
    r = read(STDIN_FILENO, buffer, static_cast<size_t>(n));
  } while (r < 0 && errno == EINTR);
  if (r > 0) return static_cast<int32_t>(r);
  if (r == 0) return kStdStreamEnd;
  last_error = errno;
  return errno == EAGAIN || errno == EWOULDBLOCK ? kStdStreamNothing : kStdStreamError;
}

bool StdStreamWaitOutput(uint32_t timeout_ms) {
  return WaitFor(STDOUT_FILENO, POLLOUT, timeout_ms) != 0;
}

int32_t StdStreamWrite(const uint8_t* bytes, int32_t n) {
  const ssize_t r = write(STDOUT_FILENO, bytes, static_cast<size_t>(std::min(n, kWriteStep)));
  if (r >= 0) return static_cast<int32_t>(r);
  last_error = errno;
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : kStdStreamError;
}

namespace {

// Bytes written and not yet read by the other end; -1 where that cannot be known.
int OutputUnread() {
  struct stat st {};
  int unread = 0;
  if (fstat(STDOUT_FILENO, &st) != 0) return -1;
  if (S_ISFIFO(st.st_mode) && ioctl(STDOUT_FILENO, FIONREAD, &unread) == 0) return unread;
  if (S_ISSOCK(st.st_mode) && ioctl(STDOUT_FILENO, TIOCOUTQ, &unread) == 0) return unread;
  return -1;
}

}  // namespace

void StdStreamWaitTaken(uint32_t max_ms) {
  constexpr uint32_t kLookMs = 10;
  for (uint32_t waited = 0; waited < max_ms && OutputUnread() > 0; waited += kLookMs)
    usleep(kLookMs * 1000);
}

int StdStreamLastError() { return last_error; }

WaitSource StdStreamWaitSource() { return {wsHandle, STDIN_FILENO}; }

void StdStreamsGuard() {
  std::signal(SIGPIPE, SIG_IGN);
  // In order, so each open takes the lowest free number: the one just found closed.
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", O_RDONLY);
}
