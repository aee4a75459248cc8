// The serial channel: one I/O thread between the port and the two queues.
#include "comm/serial.h"

#include <algorithm>

#include "runtime/clock.h"

namespace {

constexpr int32_t kSpeedTypo = 11'520;  // a common way of writing 115200 in BBS set-ups
constexpr int32_t kFastest = 115'200;
constexpr int kHighestPortNumber = 255;

// Stop bits as the caller counts them: 1, 2, or 3 for one and a half.
uint8_t StopBitsCode(uint8_t stop_bits) {
  if (stop_bits == 2) return 2;
  if (stop_bits == 3) return 1;
  return 0;
}

}  // namespace

SerialChannel::SerialChannel() { writer_thread_ = false; }

// The threads stop; a port the BBS handed over stays open, in the mode it was handed over in.
SerialChannel::~SerialChannel() {
  StopThreads();
  Release();
}

void SerialChannel::Release() {
  if (taken_over_) SerialGiveBack(port_, saved_mode_);
  taken_over_ = false;
  if (port_number_ >= 0 && port_ != kNoSerialPort) {
    SerialClose(port_);
    port_ = kNoSerialPort;
  }
}

void SerialChannel::SetPortError(std::string_view text) {
  const int error = SerialLastError();
  SetLastError(std::string(text) + std::to_string(error) + " / " + SerialErrorText(error));
}

// A DOOR.SYS or DORINFOn.DEF line gives a port number, not a handle: a number that is no open port
// is opened as that port, so nothing is ever written to whatever file of ours carries the number.
void SerialChannel::Attach(int32_t handle) {
  if (!SerialIsPort(handle)) {
    if (handle < 1 || handle > kHighestPortNumber) {
      SetLastError("Unable to open communications port");
      ErrorFlag = true;
      return;
    }
    if (Open(static_cast<uint8_t>(handle))) SetLine(-1, 'N', 8, 1);
    return;
  }
  port_ = handle;
  attached_ = handle;
  hung_up_ = false;
  SerialTakeOver(port_, saved_mode_);
  taken_over_ = true;
  SetupBuffers();
  SetTimeouts();
  ErrorFlag = !StartThreads();
  SetLine(-1, 'N', 8, 1);
}

bool SerialChannel::OpenPort(uint8_t port, int32_t baud, uint8_t data_bits, char parity,
                             uint8_t stop_bits) {
  // A port that did not open keeps "Unable to open" as the reason, not a line-setting failure.
  const bool opened = Open(port);
  if (opened) SetLine(baud, parity, data_bits, stop_bits);
  return opened;
}

// A port that did not open has no thread and no carrier, and the failure shows in ErrorFlag.
bool SerialChannel::Open(uint8_t port) {
  port_number_ = port;
  hung_up_ = false;
  port_ = SerialOpen(port);
  if (port_ == kNoSerialPort) {
    SetLastError("Unable to open communications port");
    ErrorFlag = true;
    return false;
  }
  SerialTakeOver(port_, saved_mode_);
  taken_over_ = true;
  SetTimeouts();
  SetupBuffers();
  ErrorFlag = !StartThreads();
  return true;
}

void SerialChannel::SetupBuffers() {
  if (!SerialSetupBuffers(port_, kDriverQueueSize, kDriverQueueSize))
    SetPortError("Error setting up communications buffer: #");
}

void SerialChannel::SetTimeouts() {
  if (!SerialSetTimeouts(port_)) SetPortError("Error setting communications timeout: #");
}

void SerialChannel::GetStatus(uint8_t&, uint8_t& modem_status) {
  const int status = SerialModemStatus(port_);
  if (status >= 0) modem_status = static_cast<uint8_t>((modem_status & 0x0F) | status);
}

void SerialChannel::SetLine(int32_t baud, char parity, uint8_t data_bits, uint8_t stop_bits) {
  if (baud == kSpeedTypo) baud = kFastest;
  SerialLine line;
  if (!SerialGetLine(port_, line)) {
    SetPortError("Error setting up communications parameters: #");
    return;
  }
  if (parity != 'E' && parity != 'M' && parity != 'N' && parity != 'O') parity = 'N';
  if (baud >= 0) line.baud = baud;
  line.parity = parity;
  line.stop_bits = StopBitsCode(stop_bits);
  line.data_bits = data_bits;
  if (!SerialSetLine(port_, line)) SetPortError("Error setting up communications parameters: #");
}

int32_t SerialChannel::GetBaud() {
  SerialLine line;
  return SerialGetLine(port_, line) ? line.baud : 0;
}

void SerialChannel::GetBufferStatus(int32_t& in_free, int32_t& out_free, int32_t& in_used,
                                    int32_t& out_used) {
  if (in_poll_ && SerialInputCount(port_) > 0) {
    in_poll_->Set();
    SleepMs(1);
  }
  CommChannel::GetBufferStatus(in_free, out_free, in_used, out_used);
}

void SerialChannel::SetDtr(bool raise) { SerialSetDtr(port_, raise); }

// Carrier detect where the line can report it. A pseudo-terminal, an adapter without the modem
// lines, or a line in local mode cannot: it counts as connected until it reports a hang-up or an
// error.
bool SerialChannel::Carrier() {
  if (port_ == kNoSerialPort || hung_up_) return false;
  const int detect = SerialCarrierDetect(port_);
  if (detect >= 0) return detect == 1;
  if (SerialHungUp(port_)) hung_up_ = true;
  return !hung_up_;
}

// A line that reported a hang-up stays readable for good: the key wait no longer sleeps on it.
WaitSource SerialChannel::LineWaitSource() {
  if (port_ == kNoSerialPort || hung_up_) return {};
  return SerialPortWaitSource(port_);
}

void SerialChannel::Close() {
  if (port_ == kNoSerialPort) return;
  StopThreads();
  if (taken_over_) SerialGiveBack(port_, saved_mode_);
  taken_over_ = false;
  SerialClose(port_);
  port_ = kNoSerialPort;
}

void SerialChannel::PurgeOutput() {
  if (!out_queue_) return;
  CritSection hold(out_lock_);
  out_queue_->Clear();
  SerialPurge(port_, true);
}

void SerialChannel::PurgeInput() {
  if (!in_queue_) return;
  CritSection hold(in_lock_);
  in_queue_->Clear();
  SerialPurge(port_, false);
}

void SerialChannel::Activate(bool reopen) {
  if (!reopen) {
    ErrorFlag = !StartThreads();
  } else if (port_number_ >= 0) {
    Open(static_cast<uint8_t>(port_number_));
  } else {
    Attach(attached_);
  }
}

void SerialChannel::DrainOutput(ChannelIdleProc idle) {
  SerialWaitSent(port_, kFlushWaitMs);
  CommChannel::DrainOutput(idle);
}

void SerialChannel::SetFlowControl(bool xon_out, bool xon_in, bool hardware) {
  if (!SerialSetFlowControl(port_, xon_out, xon_in, hardware))
    SetPortError("Error setting up communications parameters: #");
  SetTimeouts();
}

// Each pass serves every request that is set, output first, so a line that takes output slowly
// never keeps the caller's keys waiting. The any-request event is reset before the requests are
// looked at: a request made meanwhile sets it again.
void SerialChannel::ReadingLoop() {
  while (!terminating_) {
    if (!any_request_->WaitFor(kSerialWaitMs) || terminating_) continue;
    any_request_->Reset();
    if (out_request_->IsSet()) SendStep();
    if (in_poll_->IsSet() && !terminating_) {
      ReceiveStep();
      ReceiveDone();  // the key wait looks again, whatever the step found
    }
    if (hung_up_) LineLost();
  }
}

// InPoll is reset whatever the driver holds: the main thread sets it again when bytes are there
// (CharReady, ReadBlock), so a request with nothing to read never keeps the thread busy.
void SerialChannel::ReceiveStep() {
  in_poll_->Reset();
  const int32_t waiting = SerialInputCount(port_);
  if (waiting < 0) hung_up_ = true;
  if (waiting <= 0) return;
  CritSection hold(in_lock_);
  const int32_t n = std::min({waiting, in_queue_->Free(), ByteQueue::kStagingSize});
  if (n <= 0) return;
  uint8_t* staging = in_queue_->Staging();
  const int32_t got = transfer_.Read(port_, staging, n, kReadWaitMs);
  if (got < 0) hung_up_ = true;
  if (got > 0) in_queue_->Put(staging, got);
}

// A line that fails keeps the bytes and is not asked again: the caller is gone and Carrier says so.
int32_t SerialChannel::SendChunk(const uint8_t* bytes, int32_t count) {
  const int32_t sent = transfer_.Write(port_, bytes, count, kWriteWaitMs);
  if (sent >= 0) return sent;
  hung_up_ = true;
  return kNothingSent;
}
