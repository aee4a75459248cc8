// The stdio channel: a reading and a writing thread between the standard handles and the queues.
// No telnet negotiation and no escaping: the caller gets the bytes as they are queued.
#include "comm/stdio.h"

#include <algorithm>
#include <string>

#include "runtime/std_stream.h"

StdioChannel::~StdioChannel() { Close(); }

void StdioChannel::Attach(int32_t handle) {
  handle_ = handle;
  Open(0);
}

bool StdioChannel::Open(uint8_t) {
  StdStreamTakeOver(utf8_);
  ErrorFlag = !StartThreads();
  if (ErrorFlag) alive_ = false;
  return !ErrorFlag;
}

bool StdioChannel::Carrier() {
  if (alive_ && in_poll_) in_poll_->Set();
  return alive_;
}

// A relay may stop reading the moment the door ends: the last screen is waited for until the other
// end has read it, within a bound.
void StdioChannel::Close() {
  StopThreads();
  if (alive_) StdStreamWaitTaken(kLastOutputWaitMs);
  StdStreamGiveBack();
}

// The end of input stays readable: once seen, there is nothing more to ask or wait on.
bool StdioChannel::LineHasInput() { return alive_ && StdStreamWaitInput(0); }

WaitSource StdioChannel::LineWaitSource() {
  if (!alive_) return {};
  return StdStreamWaitSource();
}

void StdioChannel::Lost(std::string_view text, int error) {
  alive_ = false;
  SetSystemError(text, error);
  LineLost();
}

// Runs only when the main thread asked, and reads only what is there, so the thread never sits in
// a read that StopThreads would have to wait for.
void StdioChannel::ReceiveStep() {
  CritSection hold(in_lock_);
  in_poll_->Reset();
  if (!alive_ || !StdStreamWaitInput(0)) return;
  // With the queue full the keys are still read, and dropped: a relay blocked on writing keys to a
  // door that waits for its output to leave would never see the caller hang up.
  const int32_t room = std::min(kReceiveStep, in_queue_->Free());
  uint8_t dropped[kReceiveStep];
  uint8_t* staging = room > 0 ? in_queue_->Staging() : dropped;
  const int32_t r = StdStreamRead(staging, room > 0 ? room : kReceiveStep);
  if (r > 0) {
    if (room > 0) in_queue_->Put(staging, r);
  } else if (r == kStdStreamEnd)
    Lost("Error in communications(1), #", 0);
  else if (r == kStdStreamError)
    Lost("Error in communications(2), #", StdStreamLastError());
}

// Once the caller has gone, queued bytes are dropped without a wait, since nobody will read them;
// a failed write drops them too.
bool StdioChannel::LineWritable(uint32_t wait_ms) {
  return !alive_ || StdStreamWaitOutput(wait_ms);
}

int32_t StdioChannel::SendChunk(const uint8_t* bytes, int32_t count) {
  if (!alive_) return count;
  const int32_t sent = StdStreamWrite(bytes, count);
  if (sent != kStdStreamError) return sent;
  Lost("Error in communications(2), #", StdStreamLastError());
  return count;
}
