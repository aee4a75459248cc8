// The once-a-second check that runs while a key is awaited, and the library's exit step.
#pragma once

// Sleeps 1 ms; when the session's checks are on, about once a second looks at the caller's carrier,
// idle time and time left and redraws the status line.
void DoorPeriodicCheck();

// The exit step: three empty lines on the local screen, the plain colour on both sides and the
// caller's channel closed. Runs the steps installed before it afterwards (through Halt's chain).
void DoorExit();
// Puts DoorExit into the exit chain unless it is there already.
void DoorInstallExit();
// Forgets that DoorExit was installed when the chain has been emptied since (tests clear it).
void DoorExitForgetIfCleared();
