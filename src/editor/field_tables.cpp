// The tables of both screens' field editors, and the rules the command words take from them.
#include "editor/field_tables.h"

#include <cstddef>

#include "editor/editor_state.h"
#include "editor/key_table.h"

namespace {

#define F PLAYER_FIELD

// The ranges in the prompts guide the operator; the clamps are what is stored (a weapon number may
// go up to 20 whatever its prompt says).
// Per row: key, field, prompt; then old value in commas, prompt row, empty line instead of
// BlankLine, low bound, its replacement, high bound.
const NumberEditor kMainNumberEditors[] = {
    {'2', F(level), "  `%Enter Game Level `0(1-12 range). `%Old value: `$",
     false, 24, false, 1, 1, 12},
    {'4', F(hit_points), "  `%Enter Current Hit-Points `#(0-32,000 range). `!Old value: `$",
     true, 24, false, 0, 0, 32000},
    {'5', F(experience), "  `%Enter Experience Points `#(0-Two Billion). `!Old value: `$",
     true, 24, false, 0, 0, kTwoBillion},
    {'6', F(hit_max), "  `%Enter Max Hit-Points `#(0-32000). `!Old value: `$",
     true, 24, false, 1, 1, 32000},
    {'8', F(weapon_num), "  `%Enter Weapon Number `#(0-15 range). `!Old value: `$",
     false, 24, false, 1, 1, 20},
    {'9', F(forest_fights), "  `%Enter Forest Fights Left `#(0-32,000 range).  `!Old value: `$",
     false, 22, true, 1, 1, 32000},
    // 0 is a fair count of player fights; only a negative answer is lifted, and to 1.
    {'0', F(player_fights), "  `%Enter Player Fights Left `#(0-32,000 range).  `!Old value: `$",
     true, 22, true, 0, 1, 32000},
    {'C', F(strength), "  `%Enter Strength Points `#(0-32,000 range).  `!Old value: `$",
     true, 24, false, 1, 1, 32000},
    {'E', F(defense), "  `%Enter Defense Points `#(0-32,000 range). `!Old value: `$",
     true, 24, false, 1, 1, 32000},
    {'G', F(charm), "  `%Enter Charm Points `#(0-32,000 range).  `!Old value: `$",
     true, 24, false, 1, 1, 32000},
    {'I', F(gems), "  `%Enter Gems `#(0-32,000 range).  `!Old value: `$",
     true, 24, false, 1, 1, 32000},
    {'L', F(armour_num), "  `%Enter Armour Number `#(0-15 range).  `!Old value: `$",
     false, 24, false, 1, 1, 15},
    {'M', F(gold), "  `%Enter Gold in Hand `#(0-Two Billion).  `!Old value: `$",
     true, 24, false, 0, 0, kTwoBillion},
    {'O', F(bank), "  `%Enter Gold in Bank `#(0-Two Billion range). `!Old value: `$",
     true, 24, false, 0, 0, kTwoBillion},
};

// The prompt area opens at row 20 with a blank line; every answer is clamped into the range.
const NumberEditor kExtNumberEditors[] = {
    {'2', F(kills), "  `%Enter Player Kills `#(0-32,000 range). `!Old value: `$", true, 20, false,
     0, 0, 32000},
    {'4', F(games_won), "  `%Enter Games Won `#(0-32,000 range). `!Old value: `$", true, 20, false,
     0, 0, 32000},
    {'5', F(lays), "  `%Enter Lays `#(0-32,000 range). `!Old value: `$", true, 20, false, 0, 0,
     32000},
    {'6', F(kids), "  `%Enter Kids `#(0-32,000 range). `!Old value: `$", true, 20, false, 0, 0,
     32000},
    {'B', F(skill_dk), "  `%Enter Death Knight Skill Points `#(0-100). `!Old value: `$", false, 20,
     false, 0, 0, 100},
    {'C', F(uses_dk), "  `%Enter D.K. Skill Use Points `#(0-100). `!Old value: `$", false, 20,
     false, 0, 0, 100},
    {'D', F(skill_mystic), "  `%Enter Mystic Skill Points `#(0-100). `!Old value: `$", false, 20,
     false, 0, 0, 100},
    {'E', F(uses_mystic), "  `%Enter Mystic Skill Use Points `#(0-100). `!Old value: `$", false,
     20, false, 0, 0, 100},
    // Two blanks before this marker, unlike its neighbours.
    {'F', F(skill_thief), "  `%Enter Thief Skill Points `#(0-100). `!Old value: `$", false, 20,
     false, 0, 0, 100, "  `%> "},
    {'G', F(uses_thief), "  `%Enter Thief Skill Use Points `#(0-100). `!Old value: `$", false, 20,
     false, 0, 0, 100},
};

const ExtToggle kExtToggles[] = {
    {'1', F(high_spirits), 1, 0, false},
    {'3', F(horse), 1, 0, true},
    {'7', F(weird_event), 5, 0, true},
    {'8', F(on_now), 1, 0, false},
};

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

#define T(member)                                                          \
  TextFieldRef {                                                           \
    static_cast<uint16_t>(offsetof(PlayerRecord, member)),                 \
        static_cast<uint8_t>(sizeof(PlayerRecord::member.chars))           \
  }

const TextEditor kTextEditors[] = {
    {'1', T(real_name), "  `%Enter the REAL name for player.", false, true},
    {'3', T(name), "  `%Enter VARN Name for player. `!Old value: `$", true, false},
    {'7', T(weapon_name), "  `%Enter new Weapon Name. `!Old Value: `$", true, false},
    {'K', T(armour_name), "  `%Enter new Armour Name. `!Old value: `$", true, false},
};

#undef T

}  // namespace

const NumberEditor* MainNumberEditor(char key) { return FindKeyRow(kMainNumberEditors, key); }
const NumberEditor* ExtNumberEditor(char key) { return FindKeyRow(kExtNumberEditors, key); }
const Toggle* MainToggle(char key) { return FindKeyRow(kToggles, key); }
const ExtToggle* ExtToggleOfKey(char key) { return FindKeyRow(kExtToggles, key); }
const TextEditor* MainTextEditor(char key) { return FindKeyRow(kTextEditors, key); }

// The main screen's editor first: a field on both screens clamps as the main screen does.
const NumberEditor* NumberEditorOfField(uint16_t offset) {
  for (const NumberEditor& editor : kMainNumberEditors)
    if (editor.field.offset == offset) return &editor;
  for (const NumberEditor& editor : kExtNumberEditors)
    if (editor.field.offset == offset) return &editor;
  return nullptr;
}

std::vector<int32_t> ToggleValuesOfField(uint16_t offset) {
  for (const Toggle& toggle : kToggles) {
    if (toggle.field.offset != offset) continue;
    if (toggle.change == tcCycleClass) return {1, 2, 3};
    return {0, kFlagYes};
  }
  for (const ExtToggle& toggle : kExtToggles)
    if (toggle.field.offset == offset) return {toggle.off, toggle.on};
  return {};
}

bool TextEditorOfField(uint16_t offset, bool& upper_case) {
  for (const TextEditor& editor : kTextEditors) {
    if (editor.field.offset != offset) continue;
    upper_case = editor.upper_case;
    return true;
  }
  return false;
}

int32_t ClampNumber(const NumberEditor& editor, int32_t number) {
  if (number < editor.low_bound) return editor.low_replacement;
  if (number > editor.high_bound) return editor.high_bound;
  return number;
}

int32_t FlippedFlag(int32_t value, int32_t on, int32_t off, bool others_to_on) {
  if (value == on) return off;
  return value == off || others_to_on ? on : value;
}

void SetHitPointsForDeath(PlayerRecord& record) {
  if (record.dead == kFlagYes)
    record.hit_points = 0;
  else if (record.hit_points < record.hit_max)
    record.hit_points = record.hit_max;
}
