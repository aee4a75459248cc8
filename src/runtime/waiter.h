// The one blocking wait of the main thread: the local keyboard, the caller's line and a wake-up that
// other threads (and, on POSIX, signal handlers) can give, with a time-out.
#pragma once
#include <cstdint>

// What the caller's line offers to wait on.
enum WaitSourceKind : uint8_t {
  wsNone,      // nothing (local, or no line)
  wsHandle,    // a descriptor (POSIX) or a waitable HANDLE (Windows) that is ready when input is
  wsSocket,    // a socket, ready when readable or closed
  wsPolled,    // a line that can only be polled: the wait comes back in short slices
};

struct WaitSource {
  WaitSourceKind kind = wsNone;
  int64_t handle = -1;
};

enum WaitOutcome : uint8_t {
  woTimeout,     // the time ran out
  woReady,       // a key, the line, or a wake-up
  woLineClosed,  // the line reported a hang-up or an error: do not wait on it again
};

// The longest time a polled line (wsPolled) waits between looks.
constexpr uint32_t kPolledSliceMs = 10;

// Ends the wait in progress, or the next one if none is (any thread; async-signal-safe on POSIX).
void WaitWake();
// A wake given and not yet taken by a wait is dropped.
void WaitForgetWake();
// Blocks until the local keyboard has input (when keyboard is true and the console is a real one),
// the source is ready, WaitWake was called since the last return, or timeout_ms has passed.
WaitOutcome WaitForInput(bool keyboard, WaitSource source, uint32_t timeout_ms);
// How the key wait can wait on a serial port: its descriptor on POSIX; polled on Windows, where a
// port handle is not signalled by arriving bytes.
WaitSource SerialPortWaitSource(int64_t port);
// The socket goes back to plain blocking use (Windows had to mark it for event waits).
void WaitForgetSocket(int64_t socket);
