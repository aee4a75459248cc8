// The door library as a whole: its start, which fills the session's event slots with the handlers
// from the layers of door/ above the session, and its reset.
#pragma once

// Every session field back to its initial value (tests); a cleared exit chain no longer counts
// DoorExit in.
void DoorSessionReset();
// The library's start, before the console opens: the session at its initial values, the event slots
// filled with the library's handlers and DoorExit in the exit chain (once, however often called).
void DoorSessionInit();
