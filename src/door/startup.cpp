#include "door/startup.h"

// Door mode is not built yet. Until it is, a run started with door options stays a local session:
// no channel is opened, the clocks and checks stay off, and the editor works on the local console.
void DoorStartup() {}
