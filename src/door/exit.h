// The door library's exit step, which runs at every end of the program.
#pragma once

// Three empty lines on the local screen, the plain colour on both sides and the caller's channel
// closed; runs before the console's close.
void DoorExit();
// Puts DoorExit into the exit chain (once, however often called).
void DoorInstallExit();
