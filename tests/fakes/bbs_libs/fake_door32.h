// The per-system part of our fake DOOR32 (fake_door32_posix.cpp, fake_door32_win32.cpp): the
// caller's line, a TCP connection to the test, and the two events the door looks at.
#pragma once
#include <atomic>
#include <cstdint>

// Connects to the test's port on 127.0.0.1 and makes the events; false when either fails.
bool LineOpen(int port);
// Closes the line and the events; the watcher has ended.
void LineClose();
// Bytes sent; 0 while the line has no room, less when the test hung up.
int LineSend(const char* bytes, int count);
// Only what has arrived, never waiting; 0 or less when nothing has.
int LineReceive(void* buffer, int size);
// Keeps the events as the line is until stopping (on a thread of its own).
void LineWatch(const std::atomic<bool>& stopping);
intptr_t AvailableEvent();
intptr_t OfflineEvent();
