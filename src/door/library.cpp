#include "door/library.h"

#include "comm/channel.h"
#include "door/drop_files.h"
#include "door/exit.h"
#include "door/input.h"
#include "door/output.h"
#include "door/periodic.h"
#include "door/session.h"
#include "door/startup.h"

void DoorLibraryReset() {
  door_session = DoorSession{};
  DoorOutputReset();
  DoorInputReset();
  DoorStartupReset();
  DropFilesReset();
}

// The program's log path and usage note, given before, stay.
void DoorSessionInit() {
  door_session = DoorSession{};
  door_session.OnCarrierLost = &CarrierLost;
  door_session.OnLocalLogin = &LocalLogin;
  door_session.OnStatusLine = &DoorStatusLine;
  door_session.OnIdleTimeout = &IdleTimeout;
  door_session.OnTimeExpired = &TimeExpired;
  door_session.OnUsage = &ShowUsage;
  ChannelSetRoomWait(&DoorRoomWait);
  DoorInstallExit();
}
