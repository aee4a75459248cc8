// The telnet channel: a reading and a writing thread between the socket and the two queues.
#include "comm/telnet.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace {

const uint8_t kAnnounceEcho[] = {kTelnetIac, kTelnetWill, kTelnetEcho};
const uint8_t kAnnounceBinary[] = {kTelnetIac, kTelnetWill, kTelnetBinary};

// Waits of the I/O threads, each bounded so that StopThreads always finds them ended.
constexpr uint32_t kSendRetryMs = 10;        // after a failed send
constexpr int kRawSendStalls = 200;          // raw send gives up after about 2 s of no progress

}  // namespace

TelnetChannel::~TelnetChannel() {
  // The socket belongs to the BBS: the threads stop, the socket stays open and as it was set.
  StopThreads();
  if (socket_ != kNoSocket) WaitForgetSocket(socket_);
}

void TelnetChannel::Attach(int32_t handle) {
  socket_ = handle;
  if (!SocketLibraryStart()) {
    SetSystemError("Error in initializing socket, #", SocketLastError());
    ErrorFlag = true;
  } else if (!SocketIsStream(handle)) {
    // Not a connected socket (a wrong number in a drop file may be any open file of ours): nothing
    // is written to it and there is no caller.
    SetLastError("Error in initializing socket, #" + std::to_string(handle) + " / not a socket");
    ErrorFlag = true;
    alive_ = false;
    return;
  } else {
    ErrorFlag = !StartThreads();
    if (ErrorFlag) alive_ = false;
  }
  RawSend(kAnnounceEcho, sizeof kAnnounceEcho);
  RawSend(kAnnounceBinary, sizeof kAnnounceBinary);
}

bool TelnetChannel::Open(uint8_t) {
  ErrorFlag = !StartThreads();
  return !ErrorFlag;
}

WaitSource TelnetChannel::LineWaitSource() {
  if (!alive_ || socket_ == kNoSocket) return {};
  return {wsSocket, socket_};
}

void TelnetChannel::Close() {
  if (socket_ == kNoSocket) return;
  StopThreads();
  WaitForgetSocket(socket_);
  SocketShutdownAndClose(socket_);
  socket_ = kNoSocket;
}

void TelnetChannel::RawSend(const uint8_t* bytes, size_t n) {
  size_t sent = 0;
  int stalls = 0;
  while (sent < n) {
    int r = SocketSend(socket_, bytes + sent, static_cast<int>(n - sent));
    if (r > 0) {
      sent += static_cast<size_t>(r);
    } else if (SocketLastError() == kSocketWouldBlock && ++stalls < kRawSendStalls &&
               !terminating_) {
      SocketWait(socket_, true, kSendRetryMs);
    } else {
      return;  // the rest of this reply is dropped
    }
  }
}

// Runs only when the main thread asked (CharReady, ReadBlock). recv never waits: a hang-up is a
// readable socket whose recv gives 0, so it is seen without blocking the thread.
void TelnetChannel::ReceiveStep() {
  CritSection hold(in_lock_);
  const bool readable = SocketWait(socket_, false, 0) != 0;
  in_poll_->Reset();
  if (!readable) return;
  const int32_t n = std::min(kReceiveStep, in_queue_->Free());
  if (n <= 0) return;
  uint8_t* staging = in_queue_->Staging();
  const int r = SocketRecv(socket_, staging, n);
  if (r == 0) {
    alive_ = false;
    SetSystemError("Error in communications(1), #", SocketLastError());
    LineLost();
  } else if (r < 0 && SocketLastError() != kSocketWouldBlock) {
    alive_ = false;
    SetSystemError("Error in communications(2), #", SocketLastError());
    terminating_ = true;
    LineLost();
  } else if (r > 0) {
    size_t data_length = 0;
    std::string replies;
    TelnetParse(filter_, staging, static_cast<size_t>(r), staging, data_length, replies);
    in_queue_->Put(staging, static_cast<int32_t>(data_length));
    if (!replies.empty())
      RawSend(reinterpret_cast<const uint8_t*>(replies.data()), replies.size());
  }
}

// A send that failed outright is tried again, not at full speed.
bool TelnetChannel::LineWritable(uint32_t wait_ms) {
  if (std::exchange(send_failed_, false))
    std::this_thread::sleep_for(std::chrono::milliseconds(kSendRetryMs));
  return SocketWait(socket_, true, wait_ms) != 0;
}

int32_t TelnetChannel::SendChunk(const uint8_t* bytes, int32_t count) {
  size_t taken = 0;
  const size_t length = TelnetEscape(bytes, static_cast<size_t>(count), half_sent_,
                                     send_buffer_.data(), kSendBufferSize, taken);
  const int r = SocketSend(socket_, send_buffer_.data(), static_cast<int>(length));
  if (r > 0) {
    const size_t done = TelnetSentBytes(bytes, taken, half_sent_, static_cast<size_t>(r));
    if (half_sent_) out_request_->Set();  // the second half of a doubled 255 is still due
    return static_cast<int32_t>(done);
  }
  send_failed_ = r < 0 && SocketLastError() != kSocketWouldBlock;
  if (send_failed_ && alive_) {
    // The caller is gone (reset, broken pipe). The reader may never reach the recv that would say
    // so, while the caller's unread bytes fill InQueue; and a door waiting for room in OutQueue
    // would wait for good.
    alive_ = false;
    SetSystemError("Error in communications(2), #", SocketLastError());
    LineLost();
  }
  out_request_->Set();  // nothing went: the bytes stay queued and are tried again
  return kNothingSent;
}
