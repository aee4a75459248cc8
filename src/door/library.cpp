#include "door/library.h"

#include "comm/channel.h"
#include "door/exit.h"
#include "door/periodic.h"
#include "door/session.h"
#include "door/startup.h"

void DoorSessionReset() {
  door_session = DoorSession{};
  DoorExitForgetIfCleared();
}

void DoorSessionInit() {
  DoorSessionReset();
  door_session.OnCarrierLost = &CarrierLost;
  door_session.OnLocalLogin = &LocalLogin;
  door_session.OnStatusLine = &DoorStatusLine;
  door_session.OnIdleTimeout = &IdleTimeout;
  door_session.OnTimeExpired = &TimeExpired;
  door_session.OnUsage = &ShowUsage;
  ChannelSetRoomWait(&DoorRoomWait);
  DoorInstallExit();
}
