// The process's standard input and output as a caller's line: how a BBS that runs its doors on
// them (often through a pseudo-terminal) reaches the caller.
#pragma once
#include <cstdint>

#include "runtime/waiter.h"

// Read results besides a count: the caller is gone (end of input), or nothing is there yet.
constexpr int32_t kStdStreamEnd = 0;
constexpr int32_t kStdStreamError = -1;
constexpr int32_t kStdStreamNothing = -2;

// Takes the standard handles over for a caller: a terminal on input is put in raw mode (its mode
// saved first), and a write to a caller who has gone becomes an error instead of ending the
// process. utf8 says what the written bytes are (a Windows console is told; elsewhere it changes
// nothing).
void StdStreamTakeOver(bool utf8);
// The terminal's mode back as it was handed over. Safe to call twice.
void StdStreamGiveBack();
// Waits up to timeout_ms for input: true when some is there, or the end of input or an error (the
// next read reports them).
bool StdStreamWaitInput(uint32_t timeout_ms);
// One read of at most n bytes of what is waiting: the count, kStdStreamEnd, kStdStreamError or
// kStdStreamNothing.
int32_t StdStreamRead(uint8_t* buffer, int32_t n);
// Waits up to timeout_ms until output can be taken: true when it can (or the output failed).
bool StdStreamWaitOutput(uint32_t timeout_ms);
// One write of a part of the bytes: the count taken (0 when none could go yet), or kStdStreamError
// when the caller is gone.
int32_t StdStreamWrite(const uint8_t* bytes, int32_t n);
// Waits up to max_ms until the other end has read everything written, where the system can tell
// (a pipe or a socket; not a terminal, whose other side is out of sight).
void StdStreamWaitTaken(uint32_t max_ms);
// The system's error number of the last failed call.
int StdStreamLastError();
// What the key wait may sleep on for the caller's input.
WaitSource StdStreamWaitSource();
// For a program whose standard output is what it makes (the command words): a standard stream that
// was closed is held by the null device, read-only, so that no file opened later takes its number
// (printed lines would go into it) and a write to it fails; and a write to a pipe whose reader has
// gone fails (EPIPE) instead of ending the process. Nothing to do on Windows.
void StdStreamsGuard();
