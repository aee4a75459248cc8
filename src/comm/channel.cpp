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

struct ChannelState {
  std::unique_ptr<CommChannel> active_channel;
  // The caller's character set and what its translation keeps between calls: a typed character
  // not yet whole, one already decoded but not yet read, and the reused buffer of encoded output.
  CallerCharset caller_charset = ccCp437;
  CallerKeyDecoder key_decoder{ccCp437};
  int decoded_key = -1;
  std::string wire;
  ChannelRoomWaitProc room_wait = nullptr;
};
ChannelState state;

uint8_t ReadByte() { return static_cast<uint8_t>(state.active_channel->ReadChar()); }

// Output still queued at the end gets this long to leave while the caller is connected.
constexpr int32_t kCloseDrainMs = 5'000;

}  // namespace

void ChannelReset() { state = {}; }

void ReaderProc(CommChannel& channel) { channel.ReadingLoop(); }
void WriterProc(CommChannel& channel) { channel.WritingLoop(); }

void ChannelSetCharset(CallerCharset charset) {
  state.caller_charset = charset;
  state.key_decoder = CallerKeyDecoder(charset);
  state.decoded_key = -1;
}

// A kind without a channel class (a number a drop file made up) creates nothing: the entries then
// report no carrier, and the door start ends.
void ChannelOpen(ChannelKind kind) {
  if (state.active_channel) return;  // one channel per process
  if (kind == ckSerial) state.active_channel = std::make_unique<SerialChannel>();
  if (kind == ckTelnet) state.active_channel = std::make_unique<TelnetChannel>();
  if (kind == ckDoor32) state.active_channel = std::make_unique<Door32Channel>();
  if (kind == ckStdio)
    state.active_channel = std::make_unique<StdioChannel>(state.caller_charset == ccUtf8);
  if (!state.active_channel) return;
  state.active_channel->SetThreadProcs(&ReaderProc, &WriterProc);
  state.active_channel->SetRoomWait(state.room_wait);
}

void ChannelSetRoomWait(ChannelRoomWaitProc proc) {
  state.room_wait = proc;
  if (state.active_channel) state.active_channel->SetRoomWait(proc);
}

void ChannelAttach(int32_t handle) {
  if (state.active_channel) state.active_channel->Attach(handle);
}

// A byte that only begins a typed character is taken in here, so a key is ready only when whole.
bool ChannelCharReady() {
  if (!state.active_channel) return false;
  if (state.caller_charset == ccCp437) return state.active_channel->CharReady();
  while (state.decoded_key < 0 && state.active_channel->CharReady())
    state.decoded_key = state.key_decoder.Feed(ReadByte());
  return state.decoded_key >= 0;
}

bool ChannelIsOpen() { return state.active_channel != nullptr; }

WaitSource ChannelWaitSource() {
  return state.active_channel ? state.active_channel->MainWaitSource() : WaitSource{};
}

bool ChannelLineLostSeen() { return state.active_channel && state.active_channel->LineLostSeen(); }

bool ChannelCarrier() {
  const auto& active = state.active_channel;
  return active && active->Carrier() && !active->OutputStalled();
}

char ChannelReadChar() {
  if (!state.active_channel) return 0;
  if (state.caller_charset == ccCp437) return state.active_channel->ReadChar();
  while (state.decoded_key < 0) {
    if (!state.active_channel->CharReady() && !state.active_channel->Carrier()) return 0;
    state.decoded_key = state.key_decoder.Feed(ReadByte());
  }
  const char key = static_cast<char>(state.decoded_key);
  state.decoded_key = -1;
  return key;
}

// written counts the caller's CP437 bytes that went out whole, whatever their length on the wire.
void ChannelWrite(const void* buffer, int32_t count, int32_t& written) {
  written = 0;
  if (!state.active_channel || count <= 0) return;
  if (state.caller_charset == ccCp437) {
    state.active_channel->WriteBlock(buffer, count, written);
    return;
  }
  const std::string_view text(static_cast<const char*>(buffer), static_cast<size_t>(count));
  state.wire.clear();
  CallerEncode(state.caller_charset, text, state.wire);
  int32_t sent = 0;
  state.active_channel->WriteBlock(state.wire.data(), static_cast<int32_t>(state.wire.size()),
                                   sent);
  written =
      static_cast<int32_t>(CallerBytesSent(state.caller_charset, text, static_cast<size_t>(sent)));
}

// The last screen (credits, a farewell) would be lost if the writer were stopped with it queued.
void ChannelClose() {
  if (state.active_channel) state.active_channel->WaitOutputBelow(1, kCloseDrainMs);
  state.active_channel.reset();
  ChannelSetCharset(ccCp437);
}
