// The fake DOOR32's line on POSIX: the available event is the socket itself (readable while bytes
// wait); the offline event is a pipe that the watcher fills when the test hangs up.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "fake_door32.h"

namespace {
int line = -1;
int offline[2] = {-1, -1};
}  // namespace

bool LineOpen(int port) {
  line = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  if (line >= 0 && connect(line, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      pipe(offline) == 0)
    return true;
  LineClose();
  return false;
}

void LineClose() {
  for (int* fd : {&line, &offline[0], &offline[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

int LineSend(const char* bytes, int count) {
  const ssize_t n = send(line, bytes, static_cast<size_t>(count), MSG_NOSIGNAL);
  return n > 0 ? static_cast<int>(n) : -1;  // blocks while there is no room
}

int LineReceive(void* buffer, int size) {
  return static_cast<int>(recv(line, buffer, static_cast<size_t>(size), MSG_DONTWAIT));
}

void LineWatch(const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd poller{line, POLLRDHUP, 0};
    if (poll(&poller, 1, 50) > 0 && (poller.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
      const char set = 1;
      if (write(offline[1], &set, 1) != 1) std::abort();
      return;
    }
  }
}

intptr_t AvailableEvent() { return line; }
intptr_t OfflineEvent() { return offline[0]; }
