// The toggles of the main screen: no prompt, one key flips or cycles a flag and saves.
#include <cstdint>
#include <vector>

#include "editor/editor_state.h"
#include "editor/field_editor_kinds.h"
#include "editor/field_editors.h"
#include "editor/key_table.h"
#include "editor/main_screen.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/player_record.h"

namespace {

enum ToggleChange : uint8_t {
  tcCycleClass,  // 1 -> 2 -> 3 -> 1; any other class is left alone
  tcFlipFive,    // 5 -> 0; anything else -> 5
};

struct Toggle {
  char key;
  FieldRef field;
  ToggleChange change;
  bool sets_hit_points;  // the death flag: dying empties the hit points, reviving refills them
  bool redraws;          // the screen shows something that depends on the flag beyond its own value
};

#define F PLAYER_FIELD

const Toggle kToggles[] = {
    {'A', F(skill_class), tcCycleClass, false, false},
    {'B', F(sex), tcFlipFive, false, true},  // the label of field H follows the sex
    {'D', F(seen_master), tcFlipFive, false, false},
    {'F', F(seen_bard), tcFlipFive, false, false},
    {'H', F(seen_quenna), tcFlipFive, false, false},
    {'J', F(flirted), tcFlipFive, false, false},
    {'N', F(inn), tcFlipFive, false, false},
    {'P', F(dead), tcFlipFive, true, true},
    {'@', F(seen_dragon), tcFlipFive, false, false},
};

#undef F

constexpr int32_t kYes = 5;

int32_t ToggledValue(ToggleChange change, int32_t value) {
  switch (change) {
    case tcCycleClass: return value >= 1 && value <= 3 ? value % 3 + 1 : value;
    case tcFlipFive: return FlippedFlag(value, kYes, 0, true);
  }
  return value;
}

void RunToggleRow(const Toggle& toggle) {
  int32_t value = ToggledValue(toggle.change, ReadField(current_record, toggle.field));
  WriteField(current_record, toggle.field, value);
  if (toggle.sets_hit_points) SetHitPointsForDeath(current_record);
  if (toggle.redraws) DrawMainScreen();
  // Written even when nothing changed (a class outside 1-3): the record on disk is the one shown.
  SaveCurrentPlayer();
}

}  // namespace

void SetHitPointsForDeath(PlayerRecord& record) {
  if (record.dead == kYes)
    record.hit_points = 0;
  else if (record.hit_points < record.hit_max)
    record.hit_points = record.hit_max;
}

std::vector<int32_t> MainToggleValues(uint16_t offset) {
  for (const Toggle& toggle : kToggles) {
    if (toggle.field.offset != offset) continue;
    if (toggle.change == tcCycleClass) return {1, 2, 3};
    return {0, kYes};
  }
  return {};
}

bool RunMainToggle(char key) {
  const Toggle* toggle = FindKeyRow(kToggles, key);
  if (toggle != nullptr) RunToggleRow(*toggle);
  return toggle != nullptr;
}
