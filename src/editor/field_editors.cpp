#include "editor/field_editors.h"

// Not built yet: the main loop redraws only.
bool RunFieldEditor(char) { return false; }
void EditForestFights() {}
void EditPlayerFights() {}
