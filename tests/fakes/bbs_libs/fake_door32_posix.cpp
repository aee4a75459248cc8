// A fake DOOR32 for POSIX: the caller's line is a TCP connection to the test. The available event
// is that socket (readable while bytes wait); the offline event is a pipe that a watcher thread
// fills when the test hangs up.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "comm/door32_library.h"
#include "fake_bbs.h"

namespace {

int line = -1;
int offline[2] = {-1, -1};
std::atomic<bool> stopping{false};
std::thread watcher;

int Connect(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  if (s >= 0 && connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return s;
  if (s >= 0) close(s);
  return -1;
}

void Watch() {
  while (!stopping) {
    pollfd poller{line, POLLRDHUP, 0};
    if (poll(&poller, 1, 50) > 0 && (poller.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
      const char set = 1;
      if (write(offline[1], &set, 1) != 1) std::abort();
      return;
    }
  }
}

}  // namespace

extern "C" {

FAKE_EXPORT int32_t DoorInitialize(void) {
  const int port = std::atoi(FakeEnv("ZORVAN_FAKE_DOOR32_PORT").c_str());
  if (port <= 0 || line >= 0 || (line = Connect(port)) < 0) return 0;
  if (pipe(offline) != 0) std::abort();
  stopping = false;
  watcher = std::thread(Watch);
  return 1;
}

FAKE_EXPORT void DoorShutdown(void) {
  stopping = true;
  if (watcher.joinable()) watcher.join();
  for (int* fd : {&line, &offline[0], &offline[1]}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}

FAKE_EXPORT int32_t DoorWrite(const void* buffer, int32_t count) {
  const auto* bytes = static_cast<const char*>(buffer);
  for (int32_t sent = 0; sent < count;) {
    const ssize_t n = send(line, bytes + sent, static_cast<size_t>(count - sent), MSG_NOSIGNAL);
    if (n <= 0) return sent;  // the test hung up
    sent += static_cast<int32_t>(n);
  }
  return count;
}

FAKE_EXPORT int32_t DoorRead(void* buffer, int32_t size) {
  return static_cast<int32_t>(recv(line, buffer, static_cast<size_t>(size), MSG_DONTWAIT));
}

FAKE_EXPORT intptr_t DoorGetAvailableEventHandle(void) {
  return line;
}

#ifndef FAKE_LACKS_ENTRY
FAKE_EXPORT intptr_t DoorGetOfflineEventHandle(void) {
  return offline[0];
}
#endif

}  // extern "C"
