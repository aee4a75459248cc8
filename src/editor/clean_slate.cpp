#include "editor/clean_slate.h"

// Not built yet: the main loop redraws only.
void CleanSlateReset() {}
