// The extended info editor and the two new-day commands.
#pragma once
#include <string>

void ExtendedEditor();
std::string ExtFieldText(char key);
void SkillUsesUpdate();
void NewDayForPlayer();
