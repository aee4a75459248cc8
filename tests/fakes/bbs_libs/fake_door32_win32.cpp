// A fake DOOR32 for Windows: the caller's line is a TCP connection to the test; a watcher thread
// keeps the available event set while bytes wait and sets the offline event when the test hangs up.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "comm/door32_library.h"
#include "fake_bbs.h"

namespace {

SOCKET line = INVALID_SOCKET;
HANDLE available = nullptr, offline = nullptr;
std::atomic<bool> stopping{false};
std::thread watcher;

SOCKET Connect(int port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return INVALID_SOCKET;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s != INVALID_SOCKET &&
      connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
    return s;
  if (s != INVALID_SOCKET) closesocket(s);
  return INVALID_SOCKET;
}

void Watch() {
  while (!stopping) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(line, &readable);
    timeval wait{0, 50'000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
      ResetEvent(available);
      continue;
    }
    // The socket does not block: DoorRead on the door's thread may take the bytes between the
    // select and this peek, and a blocking peek would then wait for the caller's next key.
    char peek;
    const int n = recv(line, &peek, 1, MSG_PEEK);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) {  // the test hung up
      SetEvent(offline);
      return;
    }
    SetEvent(available);
    Sleep(5);  // the bytes wait for the door: look again in a moment
  }
}

}  // namespace

extern "C" {

FAKE_EXPORT int32_t DoorInitialize(void) {
  const int port = std::atoi(FakeEnv("ZORVAN_FAKE_DOOR32_PORT").c_str());
  if (port <= 0 || line != INVALID_SOCKET || (line = Connect(port)) == INVALID_SOCKET) return 0;
  u_long non_blocking = 1;
  ioctlsocket(line, FIONBIO, &non_blocking);
  available = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  offline = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  stopping = false;
  watcher = std::thread(Watch);
  return 1;
}

FAKE_EXPORT void DoorShutdown(void) {
  stopping = true;
  if (watcher.joinable()) watcher.join();
  if (line != INVALID_SOCKET) closesocket(line);
  line = INVALID_SOCKET;
  for (HANDLE* event : {&available, &offline}) {
    if (*event != nullptr) CloseHandle(*event);
    *event = nullptr;
  }
}

FAKE_EXPORT int32_t DoorWrite(const void* buffer, int32_t count) {
  const auto* bytes = static_cast<const char*>(buffer);
  for (int32_t sent = 0; sent < count;) {
    const int n = send(line, bytes + sent, count - sent, 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      Sleep(1);  // the test reads on: room comes
      continue;
    }
    if (n <= 0) return sent;  // the test hung up
    sent += n;
  }
  return count;
}

// Never waits (the socket does not block): only what has arrived.
FAKE_EXPORT int32_t DoorRead(void* buffer, int32_t size) {
  return std::max(recv(line, static_cast<char*>(buffer), size, 0), 0);
}

FAKE_EXPORT intptr_t DoorGetAvailableEventHandle(void) {
  return reinterpret_cast<intptr_t>(available);
}

#ifndef FAKE_LACKS_ENTRY
FAKE_EXPORT intptr_t DoorGetOfflineEventHandle(void) {
  return reinterpret_cast<intptr_t>(offline);
}
#endif

}  // extern "C"
