// The toggles of the main screen: no prompt, one key flips or cycles a flag and saves.
#include <cstdint>

#include "editor/editor_state.h"
#include "editor/field_editor_kinds.h"
#include "editor/field_tables.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/player_record.h"

namespace {

int32_t ToggledValue(ToggleChange change, int32_t value) {
  switch (change) {
    case tcCycleClass: return value >= 1 && value <= 3 ? value % 3 + 1 : value;
    case tcFlipFive: return FlippedFlag(value, kFlagYes, 0, true);
  }
  return value;
}

void RunToggleRow(const Toggle& toggle, DrawScreen draw_screen) {
  int32_t value = ToggledValue(toggle.change, ReadField(editor_state.current_record, toggle.field));
  WriteField(editor_state.current_record, toggle.field, value);
  if (toggle.sets_hit_points) SetHitPointsForDeath(editor_state.current_record);
  if (toggle.redraws) draw_screen();
  // Written even when nothing changed (a class outside 1-3): the record on disk is the one shown.
  SaveCurrentPlayer();
}

}  // namespace

bool RunMainToggle(char key, DrawScreen draw_screen) {
  const Toggle* toggle = MainToggle(key);
  if (toggle != nullptr) RunToggleRow(*toggle, draw_screen);
  return toggle != nullptr;
}
