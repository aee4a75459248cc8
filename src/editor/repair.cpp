#include "editor/repair.h"

// Not built yet.
void RepairStats() {}
