#include "editor/extended.h"

// Not built yet: the main loop redraws only.
void ExtendedEditor() {}
std::string ExtFieldText(char) { return {}; }
void SkillUsesUpdate() {}
void NewDayForPlayer() {}
