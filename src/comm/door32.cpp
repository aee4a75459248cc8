// The DOOR32 channel: the telnet channel's thread pattern with the library in place of the socket
// and no protocol of its own.
#include "comm/door32.h"

#include <algorithm>

namespace {

template <typename Proc>
bool Entry(LibraryHandle library, const char* name, Proc& proc) {
  proc = reinterpret_cast<Proc>(LibraryEntry(library, name));
  return proc != nullptr;
}

}  // namespace

Door32Channel::Door32Channel() {
  library_ = LibraryLoad(LibraryFileName("DOOR32"));
  // A library without one of its entry points would be called through a null address later on:
  // it counts as no library.
  ErrorFlag = !Bind() || door_initialize_() == 0;
  ready_ = !ErrorFlag;
}

bool Door32Channel::Bind() {
  if (library_ == nullptr) return false;
  bool all = Entry(library_, "DoorInitialize", door_initialize_);
  all = Entry(library_, "DoorShutdown", door_shutdown_) && all;
  all = Entry(library_, "DoorWrite", door_write_) && all;
  all = Entry(library_, "DoorRead", door_read_) && all;
  all = Entry(library_, "DoorGetAvailableEventHandle", available_event_) && all;
  all = Entry(library_, "DoorGetOfflineEventHandle", offline_event_) && all;
  return all;
}

Door32Channel::~Door32Channel() {
  StopThreads();
  if (!ErrorFlag) door_shutdown_();
  LibraryFree(library_);
}

// The handle is the BBS's line number for this door; the library knows its line already.
void Door32Channel::Attach(int32_t handle) {
  attached_ = handle;
  StartThreads();
}

bool Door32Channel::OpenPort(uint8_t, int32_t, uint8_t, char, uint8_t) { return Open(0); }

bool Door32Channel::Open(uint8_t) {
  const bool was_ready = ready_;
  StartThreads();
  return was_ready;
}

// Without a library there is nothing to ask.
bool Door32Channel::LineHasInput() {
  return !ErrorFlag && LibraryEventSignalled(available_event_());
}

// The library's input event is a waitable handle (a descriptor on POSIX).
WaitSource Door32Channel::LineWaitSource() {
  if (ErrorFlag || !ready_) return {};
  return {wsHandle, static_cast<int64_t>(available_event_())};
}

bool Door32Channel::Carrier() {
  ready_ = !ErrorFlag && !LibraryEventSignalled(offline_event_());
  return ready_;
}

void Door32Channel::Close() { StopThreads(); }

void Door32Channel::ReceiveStep() {
  CritSection hold(in_lock_);
  in_poll_->Reset();
  const int32_t n = std::min(kReceiveStep, in_queue_->Free());
  if (n <= 0 || ErrorFlag) return;
  uint8_t* staging = in_queue_->Staging();
  const int32_t r = door_read_(staging, n);
  // A library that claims more than it was asked for is held to what was asked.
  if (r > 0) in_queue_->Put(staging, std::min(r, n));
}

// Without a library the bytes have nowhere to go; they are dropped like a dead line's.
int32_t Door32Channel::SendChunk(const uint8_t* bytes, int32_t count) {
  if (!ErrorFlag) door_write_(bytes, count);
  return count;
}
