// POSIX: BSD sockets, fork and exec; the door finds the caller as an inherited descriptor.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "runtime/files.h"
#include "runtime/launch.h"

namespace {

SocketHandle Fail(const char* what, int fd = -1) {
  std::fprintf(stderr, "bbs_launcher: %s: %s\n", what, OsErrorText(errno).c_str());
  if (fd >= 0) close(fd);
  return kNoSocket;
}

// exec's argument array: pointers into argv's strings, ended by a null.
std::vector<char*> ExecArgs(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

}  // namespace

SocketHandle LaunchListen(int port, int& bound_port) {
  // The listener must not reach the door: only the caller's socket is handed over.
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail("socket");
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return Fail("bind", fd);
  if (listen(fd, 1) != 0) return Fail("listen", fd);
  socklen_t len = sizeof addr;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return Fail("getsockname", fd);
  bound_port = ntohs(addr.sin_port);
  return fd;
}

SocketHandle LaunchAcceptOne(SocketHandle listener) {
  int fd;
  do {
    fd = accept(listener, nullptr, nullptr);  // no CLOEXEC: it survives exec
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) Fail("accept");
  close(listener);
  return fd < 0 ? kNoSocket : fd;
}

int LaunchRunDoor(const std::vector<std::string>& argv) {
  std::vector<char*> args = ExecArgs(argv);
  pid_t pid = fork();
  if (pid < 0) return static_cast<int>(Fail("fork"));
  if (pid == 0) {
    execvp(args[0], args.data());
    std::perror(args[0]);
    _exit(127);  // as a shell reports a program it cannot start
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return static_cast<int>(Fail("waitpid"));
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);  // as a shell reports a door killed by a signal
}

std::string LaunchOwnPath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  return length > 0 && static_cast<size_t>(length) < sizeof path ? std::string(path, length) : "";
}

int LaunchReplace(const std::vector<std::string>& argv) {
  std::vector<char*> args = ExecArgs(argv);
  execv(args[0], args.data());
  return errno;
}
