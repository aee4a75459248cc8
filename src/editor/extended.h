// The extended info editor, with its skill-uses update (the new day's own command is in new_day.h).
#pragma once
#include <string>

// Returns on Q; the main screen is the caller's to draw again.
void ExtendedEditor();
std::string ExtFieldText(char key);
void SkillUsesUpdate();
