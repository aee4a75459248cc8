// The caller's connection as the door library sees it: seven entries acting on the one channel, and
// what the key wait asks of it.
#pragma once
#include <cstdint>

#include "comm/caller_charset.h"
#include "runtime/waiter.h"

// ckStdio is chosen on the command line only: a drop file naming it is refused (no carrier).
enum ChannelKind : uint8_t { ckLocal = 0, ckSerial = 1, ckTelnet = 2, ckDoor32 = 3, ckStdio = 4 };

// No channel (an open one is destroyed), the CP437 set and no room wait (part of CommReset).
void ChannelReset();

// The caller's character set, for the channel ChannelOpen makes next: with UTF-8, ChannelWrite
// sends CP437 bytes as UTF-8 characters and the read entries give typed characters as CP437 bytes.
void ChannelSetCharset(CallerCharset charset);
// What a wait for room in the caller's output queue asks each time it wakes: how long it may
// sleep before asking again, or 0 to stop waiting (what fits is queued, the rest dropped).
using ChannelRoomWaitProc = uint32_t (*)();
// For the channel in use and every one ChannelOpen makes later.
void ChannelSetRoomWait(ChannelRoomWaitProc proc);
// Creates the channel object of that kind (none for a kind without a class).
void ChannelOpen(ChannelKind kind);
void ChannelAttach(int32_t handle);
bool ChannelCharReady();
// Whether ChannelOpen made a channel that ChannelClose has not destroyed yet.
bool ChannelIsOpen();
// What the key wait may sleep on for the caller's input (nothing without a channel).
WaitSource ChannelWaitSource();
// Whether an I/O thread has seen the caller go (the key wait then checks the carrier soon).
bool ChannelLineLostSeen();
// The channel's carrier; a line that has taken no output for a long stretch counts as gone too.
bool ChannelCarrier();
char ChannelReadChar();
void ChannelWrite(const void* buffer, int32_t count, int32_t& written);
// Gives queued output a bounded time to reach the caller, then destroys the channel (its threads
// stop; the BBS's connection is left open).
void ChannelClose();

class CommChannel;
// What the I/O threads run: the matching loop of the channel that started them.
void ReaderProc(CommChannel& channel);
void WriterProc(CommChannel& channel);
