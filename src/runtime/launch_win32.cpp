// Windows: Winsock 2 and CreateProcessA; the door finds the caller as an inherited SOCKET handle.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>

#include "runtime/files.h"
#include "runtime/launch.h"

namespace {

SocketHandle Fail(const std::string& what, int error, SOCKET s = INVALID_SOCKET) {
  std::fprintf(stderr, "bbs_launcher: %s: %s\n", what.c_str(), OsErrorText(error).c_str());
  if (s != INVALID_SOCKET) closesocket(s);
  return kNoSocket;
}

// One argument as the C runtime's parser reads it back: quotes around blanks, backslashes doubled
// only before a quote.
void AppendQuoted(std::string& line, const std::string& arg) {
  if (!line.empty()) line += ' ';
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
    line += arg;
    return;
  }
  line += '"';
  size_t slashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    line.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    line += c;
  }
  line.append(slashes * 2, '\\');
  line += '"';
}

}  // namespace

SocketHandle LaunchListen(int port, int& bound_port) {
  WSADATA data;
  if (int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0) return Fail("WSAStartup", error);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return Fail("socket", WSAGetLastError());
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<u_short>(port));
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    return Fail("bind", WSAGetLastError(), s);
  if (listen(s, 1) != 0) return Fail("listen", WSAGetLastError(), s);
  int len = sizeof addr;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    return Fail("getsockname", WSAGetLastError(), s);
  bound_port = ntohs(addr.sin_port);
  return static_cast<SocketHandle>(s);
}

SocketHandle LaunchAcceptOne(SocketHandle listener) {
  SOCKET s = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  int error = WSAGetLastError();
  closesocket(static_cast<SOCKET>(listener));
  if (s == INVALID_SOCKET) return Fail("accept", error);
  // The door reaches the caller through this very handle, so the child must inherit it.
  if (!SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
    return Fail("SetHandleInformation", static_cast<int>(GetLastError()), s);
  return static_cast<SocketHandle>(s);
}

int LaunchRunDoor(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& a : argv) AppendQuoted(line, a);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    Fail("cannot start " + argv[0], static_cast<int>(GetLastError()));
    return -1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string LaunchOwnPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : "";
}

// A Windows process cannot become another: there is nothing of ours to hand over to.
int LaunchReplace(const std::vector<std::string>&) { return ERROR_NOT_SUPPORTED; }
