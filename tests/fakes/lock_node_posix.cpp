#include "fakes/lock_node.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

LockNode::LockNode(const std::string& kind, const std::string& path, int hold_ms) {
  int to_node[2], from_node[2];
  if (pipe2(to_node, O_CLOEXEC) != 0) return;
  if (pipe2(from_node, O_CLOEXEC) != 0) {
    close(to_node[0]);
    close(to_node[1]);
    return;
  }
  const std::string ms = std::to_string(hold_ms);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(to_node[0], 0);
    dup2(from_node[1], 1);
    execl(ZORVAN_LOCK_HOLDER, ZORVAN_LOCK_HOLDER, kind.c_str(), path.c_str(),
          hold_ms < 0 ? nullptr : ms.c_str(), nullptr);
    _exit(127);
  }
  close(to_node[0]);
  close(from_node[1]);
  input_ = to_node[1];
  // Its first line; the read also ends when the node ends without one.
  char c;
  while (read(from_node[0], &c, 1) == 1 && c != '\n') said_ += c;
  close(from_node[0]);
}

int LockNode::Release() {
  if (input_ >= 0) close(input_);
  input_ = -1;
  if (pid_ <= 0) return -1;
  int status = 0;
  pid_t ended = waitpid(pid_, &status, 0);
  pid_ = -1;
  return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
