// The door library's exit step, which runs at every end of the program.
#pragma once

// Three empty lines on the local screen, the plain colour on both sides and the caller's channel
// closed. Runs the steps installed before it afterwards (through Halt's chain).
void DoorExit();
// Puts DoorExit into the exit chain unless it is there already.
void DoorInstallExit();
// Forgets that DoorExit was installed when the chain has been emptied since (tests clear it).
void DoorExitForgetIfCleared();
