#include "door/periodic.h"

#include "comm/channel.h"
#include "comm/local_screen.h"
#include "door/output.h"
#include "door/session.h"
#include "runtime/clock.h"
#include "runtime/halt.h"

namespace {
ExitProcedure saved_exit = nullptr;
bool exit_pending = false;  // in the chain and not yet run
}  // namespace

// Only the pacing sleep exists so far: the carrier, idle and time checks and the status line are
// not built yet, so a door session runs without them.
void DoorPeriodicCheck() {
  SleepMs(1);
  if (!door_session.ChecksEnabled) return;
}

void DoorExit() {
  exit_pending = false;
  ExitProc = saved_exit;
  LocalWriteAnsi("\r\n\r\n\r\n");
  DoorSetAttr(7);
  if (!DoorIsLocal()) ChannelClose();
}

void DoorExitForgetIfCleared() {
  if (ExitProc == nullptr) exit_pending = false;
}

void DoorInstallExit() {
  DoorExitForgetIfCleared();
  if (exit_pending) return;
  exit_pending = true;
  saved_exit = ExitProc;
  ExitProc = &DoorExit;
}
