// The once-a-second check that runs while a key is awaited.
#pragma once

// Sleeps 1 ms; when the session's checks are on, about once a second looks at the caller's carrier,
// idle time and time left and redraws the status line.
void DoorPeriodicCheck();
