// What every channel class shares: the queue operations, the thread life cycle and the error text.
#include "comm/comm_channel.h"

#include <algorithm>
#include <chrono>

#include "runtime/clock.h"
#include "runtime/sockets.h"

void CommChannel::GetBufferStatus(int32_t& in_free, int32_t& out_free, int32_t& in_used,
                                  int32_t& out_used) {
  in_free = in_queue_ ? in_queue_->Free() : 0;
  out_free = out_queue_ ? out_queue_->Free() : 0;
  in_used = InUsed();
  out_used = OutUsed();
}

bool CommChannel::CharReady() {
  if (!in_queue_) return false;
  if (in_queue_->Count() == 0 && LineHasInput()) in_poll_->Set();
  return in_queue_->Count() > 0;
}

bool CommChannel::CanWrite(int32_t count) { return out_queue_ && out_queue_->Free() >= count; }

// Nothing read (the caller went while waiting) gives 0; callers ask CharReady first.
char CommChannel::ReadChar() {
  char ch = 0;
  int32_t read = 0;
  ReadBlock(&ch, 1, read);
  return read == 1 ? ch : 0;
}

bool CommChannel::WriteChar(char ch) {
  int32_t written = 0;
  WriteBlock(&ch, 1, written);
  return written == 1;
}

void CommChannel::GetLineError(uint8_t& code) { code = 0; }

bool CommChannel::Ok() { return !ErrorFlag; }

// A block larger than the queue is queued piece by piece, so it never waits for room that cannot
// come. Waiting stops when the caller is gone, when the line has stalled, or when the room-wait
// procedure says so (the door is ending): what fits is queued and the rest is dropped.
void CommChannel::WriteBlock(const void* buffer, int32_t count, int32_t& written) {
  written = 0;
  if (!out_queue_ || count <= 0) return;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  while (written < count) {
    const int32_t step = std::min(count - written, out_queue_->Capacity());
    WaitForRoom(step);
    int32_t put = 0;
    {
      CritSection hold(out_lock_);
      put = out_queue_->Put(bytes + written, step);
    }
    queued_total_ += put;
    out_request_->Set();
    written += put;
    if (put < step) return;
  }
}

// The wait sleeps in the main thread's one blocking wait, so a signal ends it as it ends a key wait.
// A send step that comes between the look at Free and the sleep has already woken it.
void CommChannel::WaitForRoom(int32_t bytes) {
  awaiting_room_ = true;
  while (out_queue_->Free() < bytes && Carrier() && !OutputStalled()) {
    const uint32_t sleep_ms = room_wait_ != nullptr ? room_wait_() : kBlockWaitMs;
    if (sleep_ms == 0) break;
    WaitForInput(false, {}, sleep_ms);
  }
  awaiting_room_ = false;
}

bool CommChannel::OutputStalled() {
  if (stalled_) return true;
  const int32_t waiting = OutUsed();
  const int64_t taken = queued_total_ - waiting;
  const int32_t now = MsOfDay();
  // Nothing to send, or a byte gone since the last look: the watch starts again.
  if (waiting == 0 || !watching_ || taken != watched_taken_) {
    watching_ = waiting > 0;
    watched_taken_ = taken;
    watch_start_ms_ = now;
    return false;
  }
  stalled_ = MsElapsed(watch_start_ms_, now) >= kOutputStallMs;
  return stalled_;
}

void CommChannel::PutBlock(const void* buffer, int32_t count, int32_t& written) {
  WriteBlock(buffer, count, written);
}

// The reading thread may hold InLock through a whole receive step, so this takes bytes without it:
// the queue's own guard keeps the Get and the thread's Put apart.
void CommChannel::ReadBlock(void* buffer, int32_t count, int32_t& read) {
  read = 0;
  if (!in_queue_) return;
  if (in_queue_->Count() < count) in_poll_->Set();
  for (;;) {
    received_->Reset();
    if (in_queue_->Count() >= count || !Carrier()) break;
    if (CharReady()) in_poll_->Set();
    received_->WaitFor(kBlockWaitMs);
  }
  read = in_queue_->Get(buffer, count, true);
}

void CommChannel::PurgeOutput() {
  if (!out_queue_) return;
  CritSection hold(out_lock_);
  out_queue_->Clear();
}

void CommChannel::PurgeInput() {
  if (!in_queue_) return;
  CritSection hold(in_lock_);
  in_queue_->Clear();
}

void CommChannel::Deactivate(bool close_too) {
  if (close_too)
    Close();
  else
    StopThreads();
}

// One byte may stay behind (a serial port's transmit register); an idle procedure is called twice
// per look, else the wait sleeps until the next send step.
void CommChannel::DrainOutput(ChannelIdleProc idle) {
  int32_t in_free = 0, out_free = 0, in_used = 0, out_used = 0;
  GetBufferStatus(in_free, out_free, in_used, out_used);
  while (out_used > 1 && Carrier()) {
    GetBufferStatus(in_free, out_free, in_used, out_used);
    if (idle != nullptr) {
      idle();
      idle();
    } else {
      WaitOutputBelow(2, kBlockWaitMs);
    }
  }
}

void CommChannel::WriteString(std::string_view text) {
  int32_t written = 0;
  WriteBlock(text.data(), static_cast<int32_t>(text.size()), written);
}

void CommChannel::SetFlowControl(bool, bool, bool) {}

void CommChannel::SetThreadProcs(ChannelThreadProc reader, ChannelThreadProc writer) {
  reader_proc_ = reader;
  writer_proc_ = writer;
}

void CommChannel::RunReader(void* channel) {
  auto* self = static_cast<CommChannel*>(channel);
  if (self->reader_proc_ != nullptr) self->reader_proc_(*self);
  self->reader_stopped_->Set();
}

void CommChannel::RunWriter(void* channel) {
  auto* self = static_cast<CommChannel*>(channel);
  if (self->writer_proc_ != nullptr) self->writer_proc_(*self);
  self->writer_stopped_->Set();
}

bool CommChannel::StartThreads() {
  terminating_ = false;
  if (started_) return false;
  started_ = true;
  any_request_ = std::make_unique<SyncEvent>();
  out_request_ = std::make_unique<RequestEvent>(any_request_.get());
  in_poll_ = std::make_unique<RequestEvent>(any_request_.get());
  received_ = std::make_unique<SyncEvent>();
  sent_ = std::make_unique<SyncEvent>();
  reader_stopped_ = std::make_unique<SyncEvent>();
  writer_stopped_ = std::make_unique<SyncEvent>();
  in_queue_ = std::make_unique<ByteQueue>(ByteQueue::kChannelCapacity);
  out_queue_ = std::make_unique<ByteQueue>(ByteQueue::kChannelCapacity);
  // The writer first: the reader may answer negotiations while the first screen is being queued.
  if (!writer_thread_) return reader_.Start(&RunReader, this);
  return writer_.Start(&RunWriter, this) && reader_.Start(&RunReader, this);
}

void CommChannel::StopThreads() {
  terminating_ = true;
  started_ = false;
  if (out_request_) out_request_->Set();
  if (in_poll_) in_poll_->Set();
  // Every loop waits with a bounded time-out, so each thread ends soon after it is woken; the wait
  // on its stop event only bounds how long a healthy one takes before the join.
  if (writer_.Running()) writer_stopped_->WaitFor(kStopWaitMs);
  if (reader_.Running()) reader_stopped_->WaitFor(kStopWaitMs);
  writer_.Join();
  reader_.Join();
  out_request_.reset();
  in_poll_.reset();
  any_request_.reset();
  reader_stopped_.reset();
  writer_stopped_.reset();
  received_.reset();
  sent_.reset();
  in_queue_.reset();
  out_queue_.reset();
}

std::string CommChannel::LastError() {
  std::lock_guard<std::mutex> hold(error_guard_);
  return last_error_;
}

void CommChannel::ReadingLoop() {
  while (!terminating_) {
    if (!in_poll_->WaitFor(kThreadWaitMs) || terminating_) continue;
    ReceiveStep();
    ReceiveDone();  // the key wait looks again, whatever the step found
  }
}

// Only a send step resets OutRequest: while the line is not writable it stays set, and the writer
// looks again after each slice.
void CommChannel::WritingLoop() {
  while (!terminating_) {
    if (!out_request_->WaitFor(kThreadWaitMs) || terminating_) continue;
    if (LineWritable(kWritableWaitMs)) SendStep();
  }
}

void CommChannel::SendStep() {
  CritSection hold(out_lock_);
  out_request_->Reset();
  const int32_t queued = out_queue_->Count();
  if (queued == 0) return;
  uint8_t* staging = out_queue_->Staging();
  out_queue_->Get(staging, queued, false);
  const int32_t sent = SendChunk(staging, queued);
  if (sent == kNothingSent) return;
  out_queue_->Get(staging, sent, true);
  if (sent < queued) out_request_->Set();
  SendDone();
}

WaitSource CommChannel::MainWaitSource() {
  if (!in_poll_ || in_poll_->IsSet()) return {};
  return LineWaitSource();
}

bool CommChannel::WaitOutputBelow(int32_t bytes, uint32_t max_ms) {
  if (!sent_) return true;
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(max_ms);
  auto moved = Clock::now();
  int32_t left_in_queue = OutUsed();
  for (;;) {
    sent_->Reset();  // a step after this sets it again, so none is missed
    const int32_t used = OutUsed();
    if (used < bytes || !Carrier()) return true;
    const auto now = Clock::now();
    if (used < left_in_queue) moved = now;
    left_in_queue = used;
    // A caller who reads nothing would keep a closing door for the whole time.
    if (now - moved >= std::chrono::milliseconds(kDrainStallMs)) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
    if (left.count() <= 0) return false;
    sent_->WaitFor(static_cast<uint32_t>(std::min<int64_t>(left.count(), kBlockWaitMs)));
  }
}

void CommChannel::ReceiveDone() {
  received_->Set();
  WaitWake();
}

void CommChannel::SendDone() {
  sent_->Set();
  if (awaiting_room_) WaitWake();
}

void CommChannel::LineLost() {
  line_lost_ = true;
  received_->Set();
  sent_->Set();
  WaitWake();
}

int32_t CommChannel::InUsed() { return in_queue_ ? in_queue_->Count() : 0; }
int32_t CommChannel::OutUsed() { return out_queue_ ? out_queue_->Count() : 0; }

void CommChannel::SetLastError(std::string text) {
  if (text.size() > 255) text.resize(255);
  std::lock_guard<std::mutex> hold(error_guard_);
  last_error_ = std::move(text);
}

void CommChannel::SetSystemError(std::string_view text, int error) {
  SetLastError(std::string(text) + std::to_string(error) + " / " + SocketErrorText(error));
}

void NetworkChannel::GetStatus(uint8_t& line_status, uint8_t& modem_status) {
  line_status = 0;
  modem_status = Carrier() ? 0x88 : 0x08;
}

void NetworkChannel::GetBufferStatus(int32_t& in_free, int32_t& out_free, int32_t& in_used,
                                     int32_t& out_used) {
  if (in_poll_) in_poll_->Set();
  if (out_request_) out_request_->Set();
  CommChannel::GetBufferStatus(in_free, out_free, in_used, out_used);
}

void NetworkChannel::SetDtr(bool raise) {
  if (!raise) Close();
}

void NetworkChannel::Activate(bool reopen) {
  if (reopen)
    Open(0);
  else
    StartThreads();
}
