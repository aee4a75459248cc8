// The fake DOOR32's line on Windows: a socket that does not block, and two events the watcher
// keeps: available while bytes wait, offline once the test has hung up.
#include <winsock2.h>
#include <windows.h>

#include "fake_door32.h"

namespace {
SOCKET line = INVALID_SOCKET;
HANDLE available = nullptr, offline = nullptr;
}  // namespace

bool LineOpen(int port) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  line = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  u_long non_blocking = 1;
  if (line == INVALID_SOCKET ||
      connect(line, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ioctlsocket(line, FIONBIO, &non_blocking) != 0) {
    LineClose();
    return false;
  }
  available = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  offline = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return true;
}

void LineClose() {
  if (line != INVALID_SOCKET) closesocket(line);
  line = INVALID_SOCKET;
  for (HANDLE* event : {&available, &offline}) {
    if (*event != nullptr) CloseHandle(*event);
    *event = nullptr;
  }
}

int LineSend(const char* bytes, int count) {
  const int n = send(line, bytes, count, 0);
  if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
  return n > 0 ? n : -1;
}

int LineReceive(void* buffer, int size) { return recv(line, static_cast<char*>(buffer), size, 0); }

void LineWatch(const std::atomic<bool>& stopping) {
  while (!stopping) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(line, &readable);
    timeval wait{0, 50'000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
      ResetEvent(available);
      continue;
    }
    // DoorRead on the door's thread may take the bytes between the select and this peek, and a
    // blocking peek would then wait for the caller's next key: the socket does not block.
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

intptr_t AvailableEvent() { return reinterpret_cast<intptr_t>(available); }
intptr_t OfflineEvent() { return reinterpret_cast<intptr_t>(offline); }
