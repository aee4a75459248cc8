// The once-a-second check that runs while a key is awaited, the status line and the early ends.
#pragma once

#include <cstdint>
#include <string>

// The library's banner in the status line.
extern const char* const kLibraryBanner;

// When the session's checks are on, about once a second (and early in every key wait)
// looks at the caller's carrier, idle time and time left, each of which can end the program,
// and redraws the status line. A hang-up signal ends the session at the first poll after it.
void DoorPeriodicCheck();
// What the caller's channel asks while it waits for room in its output queue (a caller who reads
// slowly or not at all): the same checks at the same pace, the status line kept up to date. An end
// they call for is only noted: the wait stops (what the line cannot take is dropped) and the end
// runs at the next key wait, never in the middle of file work. Gives how long the wait may sleep,
// 0 to stop waiting: an end is due or under way.
uint32_t DoorRoomWait();
// A key wait begins: the periodic check runs within its first 50 ms, whatever the time since the
// last one (a caller who hung up during the output before it is noticed at once).
void DoorKeyWaitBegins();
// The caller's line reported a loss: the check comes within 50 ms, as at the start of a wait.
void DoorCheckSoon();
// How long a key wait may sleep before the periodic check is due (at most a second).
uint32_t DoorMsUntilCheck();
int32_t DoorIdleSeconds();
// Seconds of the caller's time left; a session may cross midnight once.
int32_t DoorTimeLeft();
bool DoorCarrierOk();
std::string FormatMinSec(int32_t seconds);
std::string FormatHourMinSec(int32_t seconds);

// The event handlers the session's slots hold: the status line on row 25 of the local screen, and
// the three early ends (each shows its message, waits 1.5 s and ends the program with code 0).
// The carrier-lost message goes to the sysop only, unless a hang-up signal came while the caller is
// still connected: then it is the caller's last screen too.
void DoorStatusLine();
void CarrierLost();
void IdleTimeout();
void TimeExpired();
// The shared end of those and of a failed start: the local screen shown, 1.5 s to read it, Halt(0).
[[noreturn]] void DoorEndAfterPause();

