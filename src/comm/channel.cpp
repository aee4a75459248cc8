#include "comm/channel.h"

// No channel class is built into the program yet, so ChannelOpen creates no object and every entry
// acts on "no channel": nothing to read, no carrier, writes go nowhere.
namespace {
ChannelKind active_channel_kind = ckLocal;
}

void ChannelOpen(ChannelKind kind) { active_channel_kind = kind; }
void ChannelAttach(int32_t) {}
bool ChannelCharReady() { return false; }
bool ChannelCarrier() { return false; }
char ChannelReadChar() { return 0; }
void ChannelWrite(const void*, int32_t, int32_t& written) { written = 0; }
void ChannelClose() { active_channel_kind = ckLocal; }
