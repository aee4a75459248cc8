#include "runtime/signals.h"

// A Windows BBS ends a door through the connection, which the carrier check sees.
void HangupSignalsDefer() {}
bool HangupSignalled() { return false; }
