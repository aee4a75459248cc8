// The extended info editor, with its skill-uses update (the new day's own command is in new_day.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "editor/field_editors.h"

void ExtendedEditor();
std::string ExtFieldText(char key);
void SkillUsesUpdate();
// The extended screen's number editor of the field at that offset, or nullptr.
const NumberEditor* ExtNumberEditorOfField(uint16_t offset);
// Its toggle's two values (off, on); empty when the extended screen has none for the field.
std::vector<int32_t> ExtToggleValues(uint16_t offset);
