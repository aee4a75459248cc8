// The caller's connection as the door library sees it: seven entries acting on the one channel.
#pragma once
#include <cstdint>

enum ChannelKind : uint8_t { ckLocal = 0, ckSerial = 1, ckTelnet = 2, ckDoor32 = 3 };

void ChannelOpen(ChannelKind kind);
void ChannelAttach(int32_t handle);
bool ChannelCharReady();
bool ChannelCarrier();
char ChannelReadChar();
void ChannelWrite(const void* buffer, int32_t count, int32_t& written);
void ChannelClose();
