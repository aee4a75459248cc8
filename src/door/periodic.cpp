#include "door/periodic.h"

#include "door/session.h"
#include "runtime/clock.h"

// Only the pacing sleep exists so far: the checks themselves come with door mode, and nothing turns
// ChecksEnabled on before then.
void DoorPeriodicCheck() {
  SleepMs(1);
  if (!door_session.ChecksEnabled) return;
}
