#include "runtime/signals.h"

// A Windows BBS ends a door through the connection, which the carrier check sees.
void HangupSignalsDefer() {}
namespace {
bool hangup_noted = false;
}  // namespace

bool HangupSignalled() { return hangup_noted; }
void HangupNote() { hangup_noted = true; }
void HangupForget() { hangup_noted = false; }

void FileSizeSignalIgnore() {}
