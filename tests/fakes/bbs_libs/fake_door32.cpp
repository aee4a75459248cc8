// A fake DOOR32 for both systems: DoorInitialize connects to 127.0.0.1 at the port
// ZORVAN_FAKE_DOOR32_PORT names, where the test plays the BBS's end of the caller's line. The
// available event is signalled while bytes wait or the test has hung up; DoorRead finding the test
// gone sets the offline event.
#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <chrono>
#include <cstdlib>
#include <thread>

#include "comm/door32_library.h"

namespace {

intptr_t available_event = 0, offline_event = 0;  // as the door is given them

#ifdef _WIN32
SOCKET line = INVALID_SOCKET;
HANDLE available = nullptr, offline = nullptr;

// The event select makes the socket non-blocking; each recv lets FD_READ be signalled again.
bool Events() {
  available = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  offline = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  available_event = reinterpret_cast<intptr_t>(available);
  offline_event = reinterpret_cast<intptr_t>(offline);
  return WSAEventSelect(line, available, FD_READ | FD_CLOSE) == 0;
}
constexpr int kSendFlags = 0;
bool WouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
void BeforeRead() { ResetEvent(available); }
void GoneOffline() { SetEvent(offline); }
void CloseAll() {
  closesocket(line);
  CloseHandle(available);
  CloseHandle(offline);
}
#else
constexpr int INVALID_SOCKET = -1;
int line = INVALID_SOCKET;
int offline[2] = {-1, -1};  // the write end closed: the test has hung up

// The socket itself is the available event: readable while bytes wait, and once the test is gone.
bool Events() {
  if (pipe(offline) != 0) return false;
  available_event = line;
  offline_event = offline[0];
  return fcntl(line, F_SETFL, O_NONBLOCK) == 0;
}
constexpr int kSendFlags = MSG_NOSIGNAL;
bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
void BeforeRead() {}
void GoneOffline() {
  close(offline[1]);
  offline[1] = -1;
}
void CloseAll() {
  for (int fd : {line, offline[0], offline[1]}) close(fd);
}
#endif

bool Connect(int port) {
#ifdef _WIN32
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
#endif
  line = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return line != INVALID_SOCKET &&
         connect(line, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && Events();
}

}  // namespace

extern "C" {

FAKE_EXPORT int32_t DoorInitialize(void) {
  const char* port = std::getenv("ZORVAN_FAKE_DOOR32_PORT");
  return port != nullptr && Connect(std::atoi(port)) ? 1 : 0;
}

// Called only after DoorInitialize succeeded.
FAKE_EXPORT void DoorShutdown(void) { CloseAll(); }

FAKE_EXPORT int32_t DoorWrite(const void* buffer, int32_t count) {
  const auto* bytes = static_cast<const char*>(buffer);
  for (int32_t sent = 0; sent < count;) {
    const int n = static_cast<int>(send(line, bytes + sent, count - sent, kSendFlags));
    if (n > 0) {
      sent += n;
    } else if (WouldBlock()) {  // the test reads on
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else {
      return sent;  // the test hung up
    }
  }
  return count;
}

// Only what has arrived, never waiting.
FAKE_EXPORT int32_t DoorRead(void* buffer, int32_t size) {
  BeforeRead();
  const int n = static_cast<int>(recv(line, static_cast<char*>(buffer), size, 0));
  if (n == 0) GoneOffline();
  return n;
}

FAKE_EXPORT intptr_t DoorGetAvailableEventHandle(void) { return available_event; }

#ifndef FAKE_LACKS_ENTRY
FAKE_EXPORT intptr_t DoorGetOfflineEventHandle(void) { return offline_event; }
#endif

}  // extern "C"
