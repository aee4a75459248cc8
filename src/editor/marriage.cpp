#include "editor/marriage.h"

// Not built yet: the main loop redraws only.
void MarriageEditor() {}
