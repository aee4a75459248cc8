#include "runtime/threads.h"

#include <chrono>
#include <system_error>

void SyncEvent::Set() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    signalled_ = true;
  }
  changed_.notify_all();
}

void SyncEvent::Reset() {
  std::lock_guard<std::mutex> hold(mutex_);
  signalled_ = false;
}

bool SyncEvent::WaitFor(uint32_t ms) {
  std::unique_lock<std::mutex> hold(mutex_);
  return changed_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return signalled_; });
}

bool SyncEvent::IsSet() {
  std::lock_guard<std::mutex> hold(mutex_);
  return signalled_;
}

bool WorkerThread::Start(Procedure procedure, void* argument) {
  if (thread_.joinable()) return false;
  try {
    thread_ = std::thread(procedure, argument);
  } catch (const std::system_error&) {
    return false;  // out of threads: the channel reports it as a failed start
  }
  return true;
}

void WorkerThread::Join() {
  if (thread_.joinable()) thread_.join();
}
