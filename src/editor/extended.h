// The extended info editor and the two new-day commands.
#pragma once
#include <cstdint>
#include <string>

#include "editor/field_editors.h"

void ExtendedEditor();
std::string ExtFieldText(char key);
void SkillUsesUpdate();
void NewDayForPlayer();
// The extended screen's number editor of the field at that offset, or nullptr.
const NumberEditor* ExtNumberEditorOfField(uint16_t offset);
