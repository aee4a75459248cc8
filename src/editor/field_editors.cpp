// The number editors of the main screen and the dispatch of a field key to its editor.
#include "editor/field_editors.h"

#include "editor/extended.h"

#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/field_editor_kinds.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/key_table.h"
#include "editor/prompts.h"

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

#undef F

const NumberEditor* FindMainNumberEditor(char key) { return FindKeyRow(kMainNumberEditors, key); }

}  // namespace

int32_t ClampNumber(const NumberEditor& editor, int32_t number) {
  if (number < editor.low_bound) return editor.low_replacement;
  if (number > editor.high_bound) return editor.high_bound;
  return number;
}

std::optional<int32_t> AskNumber(const NumberEditor& editor) {
  DoorGotoXY(1, editor.prompt_row);
  if (editor.empty_line)
    DoorWriteLn("");
  else
    BlankLine();
  int32_t old_value = ReadField(current_record, editor.field);
  DoorClearEol();  // an earlier, longer prompt on this row leaves nothing behind
  DoorPrintColourLn(std::string(editor.prompt) +
                    (editor.commas ? IntToStrCommas(old_value) : IntToStr(old_value)));
  DoorPrintColour(editor.input_marker);
  std::string answer = DoorInputLine();
  // Esc backs out: the field keeps its value (and nothing is written).
  if (DoorInputEscaped()) return std::nullopt;
  return ClampNumber(editor, StrToIntLead(answer));
}

void RunNumberEditor(const NumberEditor& editor) {
  std::optional<int32_t> number = AskNumber(editor);
  if (!number) return;
  WriteField(current_record, editor.field, *number);
  SaveCurrentPlayer();
}

bool RunMainNumberEditor(char key) {
  const NumberEditor* editor = FindMainNumberEditor(key);
  if (editor == nullptr) return false;
  RunNumberEditor(*editor);
  return true;
}

const NumberEditor* NumberEditorOfField(uint16_t offset) {
  for (const NumberEditor& editor : kMainNumberEditors)
    if (editor.field.offset == offset) return &editor;
  return ExtNumberEditorOfField(offset);
}

std::vector<int32_t> ToggleValuesOfField(uint16_t offset) {
  std::vector<int32_t> values = MainToggleValues(offset);
  return values.empty() ? ExtToggleValues(offset) : values;
}

std::optional<int32_t> AskForestFights() { return AskNumber(*FindMainNumberEditor('9')); }
std::optional<int32_t> AskPlayerFights() { return AskNumber(*FindMainNumberEditor('0')); }

bool RunFieldEditor(char key) {
  if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
  return RunMainNumberEditor(key) || RunMainTextEditor(key) || RunMainToggle(key);
}

int32_t FlippedFlag(int32_t value, int32_t on, int32_t off, bool others_to_on) {
  if (value == on) return off;
  return value == off || others_to_on ? on : value;
}
