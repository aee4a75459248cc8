#include "door/session.h"

#include "door/periodic.h"
#include "door/startup.h"

DoorSession door_session;

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

bool DoorIsLocal() { return door_session.Kind == ckLocal; }

void DoorRunEvent(DoorEvent event) {
  if (event != nullptr) event();
}
