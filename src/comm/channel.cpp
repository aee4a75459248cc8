#include "comm/channel.h"

#include <memory>
#include <string>
#include <string_view>

#include "comm/comm_channel.h"
#include "comm/door32.h"
#include "comm/serial.h"
#include "comm/stdio.h"
#include "comm/telnet.h"
#include "runtime/clock.h"

namespace {

std::unique_ptr<CommChannel> active_channel;

// The caller's character set and what its translation keeps between calls: a typed character not
// yet whole, one already decoded but not yet read, and the reused buffer of encoded output.
CallerCharset caller_charset = ccCp437;
CallerKeyDecoder key_decoder;
int decoded_key = -1;
std::string wire;

ChannelRoomWaitProc room_wait = nullptr;

// Output still queued at the end gets this long to leave while the caller is connected.
constexpr int32_t kCloseDrainMs = 5'000;

}  // namespace


void ReaderProc(CommChannel& channel) { channel.ReadingLoop(); }
void WriterProc(CommChannel& channel) { channel.WritingLoop(); }

void ChannelSetCharset(CallerCharset charset) {
  caller_charset = charset;
  key_decoder = CallerKeyDecoder(charset);
  decoded_key = -1;
}

// A kind without a channel class (a number a drop file made up) creates nothing: the entries then
// report no carrier, and the door start ends.
void ChannelOpen(ChannelKind kind) {
  if (active_channel) return;  // one channel per process
  if (kind == ckSerial) active_channel = std::make_unique<SerialChannel>();
  if (kind == ckTelnet) active_channel = std::make_unique<TelnetChannel>();
  if (kind == ckDoor32) active_channel = std::make_unique<Door32Channel>();
  if (kind == ckStdio) active_channel = std::make_unique<StdioChannel>(caller_charset == ccUtf8);
  if (!active_channel) return;
  active_channel->SetThreadProcs(&ReaderProc, &WriterProc);
  active_channel->SetRoomWait(room_wait);
}

void ChannelSetRoomWait(ChannelRoomWaitProc proc) {
  room_wait = proc;
  if (active_channel) active_channel->SetRoomWait(proc);
}

void ChannelAttach(int32_t handle) {
  if (active_channel) active_channel->Attach(handle);
}

// A byte that only begins a typed character is taken in here, so a key is ready only when whole.
bool ChannelCharReady() {
  if (!active_channel) return false;
  if (caller_charset == ccCp437) return active_channel->CharReady();
  while (decoded_key < 0 && active_channel->CharReady())
    decoded_key = key_decoder.Feed(static_cast<uint8_t>(active_channel->ReadChar()));
  return decoded_key >= 0;
}

bool ChannelIsOpen() { return active_channel != nullptr; }

WaitSource ChannelWaitSource() {
  return active_channel ? active_channel->MainWaitSource() : WaitSource{};
}

bool ChannelLineLostSeen() { return active_channel && active_channel->LineLostSeen(); }

bool ChannelCarrier() {
  return active_channel && active_channel->Carrier() && !active_channel->OutputStalled();
}

char ChannelReadChar() {
  if (!active_channel) return 0;
  if (caller_charset == ccCp437) return active_channel->ReadChar();
  while (decoded_key < 0) {
    if (!active_channel->CharReady() && !active_channel->Carrier()) return 0;
    decoded_key = key_decoder.Feed(static_cast<uint8_t>(active_channel->ReadChar()));
  }
  const char key = static_cast<char>(decoded_key);
  decoded_key = -1;
  return key;
}

// written counts the caller's CP437 bytes that went out whole, whatever their length on the wire.
void ChannelWrite(const void* buffer, int32_t count, int32_t& written) {
  written = 0;
  if (!active_channel || count <= 0) return;
  if (caller_charset == ccCp437) {
    active_channel->WriteBlock(buffer, count, written);
    return;
  }
  const std::string_view text(static_cast<const char*>(buffer), static_cast<size_t>(count));
  wire.clear();
  CallerEncode(caller_charset, text, wire);
  int32_t sent = 0;
  active_channel->WriteBlock(wire.data(), static_cast<int32_t>(wire.size()), sent);
  written = static_cast<int32_t>(CallerBytesSent(caller_charset, text, static_cast<size_t>(sent)));
}

// The last screen (credits, a farewell) would be lost if the writer were stopped with it queued.
void ChannelClose() {
  if (active_channel) active_channel->WaitOutputBelow(1, kCloseDrainMs);
  active_channel.reset();
  ChannelSetCharset(ccCp437);
}
