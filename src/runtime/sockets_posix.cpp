#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>

#include "runtime/sockets.h"

namespace {

std::once_flag library_once;
int library_starts = 0;
thread_local int last_error = 0;

// MSG_DONTWAIT keeps the BBS's blocking mode untouched while never waiting; MSG_NOSIGNAL turns a
// write to a dropped caller into an error instead of a SIGPIPE.
constexpr int kRecvFlags = MSG_DONTWAIT;
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_DONTWAIT | MSG_NOSIGNAL;
#else
constexpr int kSendFlags = MSG_DONTWAIT;
#endif

int Result(ssize_t n) {
  if (n >= 0) return static_cast<int>(n);
  last_error = (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? kSocketWouldBlock : errno;
  return -1;
}

}  // namespace

bool SocketLibraryStart() {
  std::call_once(library_once, [] {
    // A BBS may start the door with SIGPIPE at its default, which would end it on a dropped caller.
    std::signal(SIGPIPE, SIG_IGN);
    ++library_starts;
  });
  return true;
}

int SocketLibraryStarts() { return library_starts; }

bool SocketIsStream(SocketHandle socket) {
  struct stat info{};
  if (socket < 0 || fstat(socket, &info) != 0 || !S_ISSOCK(info.st_mode)) return false;
  int type = 0;
  socklen_t length = sizeof type;
  return getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
}

int SocketWait(SocketHandle socket, bool for_write, uint32_t timeout_ms) {
  pollfd entry{socket, static_cast<short>(for_write ? POLLOUT : POLLIN), 0};
  int n = poll(&entry, 1, static_cast<int>(timeout_ms));
  if (n < 0) return errno == EINTR ? 0 : -1;
  if (n == 0) return 0;
  return (entry.revents & POLLNVAL) != 0 ? -1 : 1;
}

int SocketRecv(SocketHandle socket, void* buffer, int count) {
  return Result(recv(socket, buffer, static_cast<size_t>(count), kRecvFlags));
}

int SocketSend(SocketHandle socket, const void* buffer, int count) {
  return Result(send(socket, buffer, static_cast<size_t>(count), kSendFlags));
}

int SocketLastError() { return last_error; }

std::string SocketErrorText(int error) {
  if (error == kSocketWouldBlock) error = EWOULDBLOCK;
  return std::strerror(error);
}

void SocketShutdownAndClose(SocketHandle socket) {
  shutdown(socket, SHUT_RDWR);
  close(socket);
}

void SocketClose(SocketHandle socket) { close(socket); }

bool SocketLoopbackPair(SocketHandle& a, SocketHandle& b) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  auto* any = reinterpret_cast<sockaddr*>(&address);
  a = b = kNoSocket;
  if (listener >= 0 && bind(listener, any, length) == 0 && listen(listener, 1) == 0 &&
      getsockname(listener, any, &length) == 0) {
    a = socket(AF_INET, SOCK_STREAM, 0);
    if (a >= 0 && connect(a, any, length) == 0) b = accept(listener, nullptr, nullptr);
  }
  if (listener >= 0) close(listener);
  if (b >= 0) return true;
  if (a >= 0) close(a);
  a = kNoSocket;
  return false;
}
