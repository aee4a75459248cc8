#include "door/exit.h"

#include "comm/channel.h"
#include "comm/local_screen.h"
#include "door/output.h"
#include "door/session.h"
#include "runtime/halt.h"

namespace {

ExitProcedure saved_exit = nullptr;
bool exit_pending = false;  // in the chain and not yet run

}  // namespace

void DoorExit() {
  door_session.Ending = true;
  exit_pending = false;
  ExitProc = saved_exit;
  LocalWriteAnsi("\r\n\r\n\r\n");
  DoorSetAttr(7);
  DoorFlushOutput();
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
