// A game node holding a file, played by our lock_holder tool in a process of its own.
#pragma once
#include <string>
#include <sys/types.h>

class LockNode {
 public:
  // kind as lock_holder takes it (exclusive, record, ofd, flock); hold_ms -1 holds until Release.
  // Returns once the node has said whether it holds the file.
  LockNode(const std::string& kind, const std::string& path, int hold_ms = -1);
  ~LockNode() { Release(); }
  LockNode(const LockNode&) = delete;
  LockNode& operator=(const LockNode&) = delete;

  // "held", "busy", or what else it said ("failed", or nothing when it could not start).
  const std::string& Said() const { return said_; }
  bool Held() const { return said_ == "held"; }
  // Lets go of the file and waits for the node to end; its exit code (-1 when it did not end of
  // itself).
  int Release();

 private:
  std::string said_;
  pid_t pid_ = -1;
  int input_ = -1;
};
