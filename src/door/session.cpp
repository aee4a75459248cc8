#include "door/session.h"

DoorSession door_session;

bool DoorIsLocal() { return door_session.Kind == ckLocal; }

void DoorRunEvent(DoorEvent event) {
  if (event != nullptr) event();
}
