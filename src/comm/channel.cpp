#include "comm/channel.h"

#include <memory>

#include "comm/comm_channel.h"
#include "comm/door32.h"
#include "comm/serial.h"
#include "comm/telnet.h"
#include "runtime/clock.h"

namespace {

std::unique_ptr<CommChannel> active_channel;
ChannelKind active_channel_kind = ckLocal;

// Output still queued at the end gets this long to leave while the caller is connected.
constexpr int32_t kCloseDrainMs = 5'000;

}  // namespace

CommChannel* ActiveChannel() { return active_channel.get(); }
ChannelKind ActiveChannelKind() { return active_channel_kind; }

// The serial class has one thread for both directions: both procedures run it.
void ReaderProc(CommChannel& channel) {
  if (channel.Kind() == ckSerial) static_cast<SerialChannel&>(channel).IoThreadMain();
  if (channel.Kind() == ckTelnet || channel.Kind() == ckDoor32) channel.ReadingLoop();
}

void WriterProc(CommChannel& channel) {
  if (channel.Kind() == ckSerial) static_cast<SerialChannel&>(channel).IoThreadMain();
  if (channel.Kind() == ckTelnet || channel.Kind() == ckDoor32) channel.WritingLoop();
}

// A kind without a channel class (a number a drop file made up) creates nothing: the entries then
// report no carrier, and the door start ends.
void ChannelOpen(ChannelKind kind) {
  if (active_channel) return;  // one channel per process
  active_channel_kind = kind;
  if (kind == ckSerial) active_channel = std::make_unique<SerialChannel>();
  if (kind == ckTelnet) active_channel = std::make_unique<TelnetChannel>();
  if (kind == ckDoor32) active_channel = std::make_unique<Door32Channel>();
  if (active_channel) active_channel->SetThreadProcs(&ReaderProc, &WriterProc);
}

void ChannelAttach(int32_t handle) {
  if (active_channel) active_channel->Attach(handle);
}

bool ChannelCharReady() { return active_channel && active_channel->CharReady(); }

bool ChannelCarrier() { return active_channel && active_channel->Carrier(); }

char ChannelReadChar() { return active_channel ? active_channel->ReadChar() : 0; }

void ChannelWrite(const void* buffer, int32_t count, int32_t& written) {
  written = 0;
  if (active_channel) active_channel->WriteBlock(buffer, count, written);
}

// The last screen (credits, a farewell) would be lost if the writer were stopped with it queued.
void ChannelClose() {
  if (active_channel) {
    const int32_t start = MsOfDay();
    while (active_channel->OutUsed() > 0 && active_channel->Carrier() &&
           MsElapsed(start, MsOfDay()) < kCloseDrainMs)
      SleepMs(1);
  }
  active_channel.reset();
  active_channel_kind = ckLocal;
}
