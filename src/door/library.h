// The door library as a whole: its start, which fills the session's event slots with the handlers
// from the layers of door/ above the session, and its reset.
#pragma once

// The whole library back to program start: the session, output (no tap), input, the start's and the
// drop files' state. Each file holds its part in one struct of its own; this is the one place that
// resets them all. The exit step stays added until the runtime's reset or a Halt.
void DoorLibraryReset();
// The library's start, before the console opens: the session at its initial values, the event slots
// filled with the library's handlers and DoorExit in the exit chain (once, however often called).
void DoorSessionInit();
