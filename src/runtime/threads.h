// Events, locks and threads for the channels' I/O threads, on the C++ standard library.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A manual-reset event: stays signalled until Reset.
class SyncEvent {
 public:
  explicit SyncEvent(bool signalled = false) : signalled_(signalled) {}
  ~SyncEvent() { Set(); }
  SyncEvent(const SyncEvent&) = delete;
  SyncEvent& operator=(const SyncEvent&) = delete;
  void Set();
  void Reset();
  // True when the event was (or became) signalled within ms milliseconds.
  bool WaitFor(uint32_t ms);
  bool IsSet();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
};

class CritLock {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// Holds a CritLock for one scope.
class CritSection {
 public:
  explicit CritSection(CritLock& lock) : lock_(lock) { lock_.Enter(); }
  ~CritSection() { lock_.Leave(); }
  CritSection(const CritSection&) = delete;
  CritSection& operator=(const CritSection&) = delete;

 private:
  CritLock& lock_;
};

// One system thread running a procedure with one argument. There is no forced termination: every
// loop run here waits with a bounded time-out and looks at its channel's stop flag, so Join ends.
class WorkerThread {
 public:
  using Procedure = void (*)(void* argument);
  WorkerThread() = default;
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // False when the system could not start a thread.
  bool Start(Procedure procedure, void* argument);
  void Join();
  bool Running() const { return thread_.joinable(); }

 private:
  std::thread thread_;
};
