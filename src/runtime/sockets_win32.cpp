#include <winsock2.h>
#include <windows.h>

#include <mutex>

#include "runtime/sockets.h"

namespace {

std::once_flag library_once;
bool library_ok = false;
int library_starts = 0;
thread_local int last_error = 0;

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(static_cast<uint32_t>(socket)); }

int Result(int n) {
  if (n != SOCKET_ERROR) return n;
  last_error = WSAGetLastError();
  if (last_error == WSAEINTR) last_error = kSocketWouldBlock;
  return -1;
}

}  // namespace

bool SocketLibraryStart() {
  std::call_once(library_once, [] {
    WSADATA data;
    int error = WSAStartup(0x0101, &data);
    library_ok = error == 0;
    if (library_ok) ++library_starts;
    else last_error = error;
  });
  return library_ok;
}

int SocketLibraryStarts() { return library_starts; }

bool SocketIsStream(SocketHandle socket) {
  int type = 0;
  int length = sizeof type;
  return socket >= 0 &&
         getsockopt(Native(socket), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length) ==
             0 &&
         type == SOCK_STREAM;
}

int SocketWait(SocketHandle socket, bool for_write, uint32_t timeout_ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(Native(socket), &set);
  fd_set errors = set;
  timeval limit{static_cast<long>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000};
  int n = select(0, for_write ? nullptr : &set, for_write ? &set : nullptr, &errors, &limit);
  if (n == SOCKET_ERROR) {
    last_error = WSAGetLastError();
    return -1;
  }
  return n > 0 ? 1 : 0;
}

// A blocking socket is left blocking (it is the BBS's), so recv is made only when data or a hang-up
// is there to report.
int SocketRecv(SocketHandle socket, void* buffer, int count) {
  if (SocketWait(socket, false, 0) == 0) {
    last_error = kSocketWouldBlock;
    return -1;
  }
  return Result(recv(Native(socket), static_cast<char*>(buffer), count, 0));
}

int SocketSend(SocketHandle socket, const void* buffer, int count) {
  return Result(send(Native(socket), static_cast<const char*>(buffer), count, 0));
}

int SocketLastError() { return last_error; }

std::string SocketErrorText(int error) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text),
                           0, nullptr);
  std::string message = n > 0 && text != nullptr ? std::string(text, n) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
    message.pop_back();
  return message;
}

void SocketShutdownAndClose(SocketHandle socket) {
  shutdown(Native(socket), SD_BOTH);
  closesocket(Native(socket));
}

void SocketClose(SocketHandle socket) { closesocket(Native(socket)); }

bool SocketLoopbackPair(SocketHandle& a, SocketHandle& b) {
  SocketLibraryStart();
  SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  auto* any = reinterpret_cast<sockaddr*>(&address);
  SOCKET first = INVALID_SOCKET, second = INVALID_SOCKET;
  if (listener != INVALID_SOCKET && bind(listener, any, length) == 0 && listen(listener, 1) == 0 &&
      getsockname(listener, any, &length) == 0) {
    first = socket(AF_INET, SOCK_STREAM, 0);
    if (first != INVALID_SOCKET && connect(first, any, length) == 0)
      second = accept(listener, nullptr, nullptr);
  }
  if (listener != INVALID_SOCKET) closesocket(listener);
  if (second == INVALID_SOCKET) {
    if (first != INVALID_SOCKET) closesocket(first);
    return false;
  }
  a = static_cast<SocketHandle>(first);
  b = static_cast<SocketHandle>(second);
  return true;
}
