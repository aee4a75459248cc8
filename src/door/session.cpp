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
  // The carrier, idle, time and status-line handlers come with the periodic check.
  door_session.OnLocalLogin = &LocalLogin;
  door_session.OnUsage = &ShowUsage;
  DoorInstallExit();
}

bool DoorIsLocal() { return door_session.Kind == ckLocal; }
