#include "door/session.h"

DoorSession door_session;

void DoorSessionReset() { door_session = DoorSession{}; }

bool DoorIsLocal() { return door_session.Kind == ckLocal; }
