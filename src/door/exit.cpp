#include "door/exit.h"

#include "comm/channel.h"
#include "comm/local_screen.h"
#include "door/output.h"
#include "door/session.h"
#include "runtime/halt.h"

namespace {
constexpr int kDoorExitOrder = 0;  // before the console's close, which shows what it writes
}

void DoorExit() {
  door_session.Ending = true;
  LocalWriteAnsi("\r\n\r\n\r\n");
  DoorSetAttr(7);
  DoorFlushOutput();
  if (!DoorIsLocal()) ChannelClose();
}

void DoorInstallExit() { AddExitStep(&DoorExit, kDoorExitOrder); }
