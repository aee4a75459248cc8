// The main screen's field editors: number editors, text editors and toggles, each from its table.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "editor/player_record.h"

// Runs the editor or toggle of a main-screen field key (1-9, 0, A-P, @); false for other keys.
bool RunFieldEditor(char key);
// The new-day command's two questions: the answer clamped as the editor would store it, or nothing
// when Esc backed out. Nothing is saved: the new day writes it with the rest of its changes.
std::optional<int32_t> AskForestFights();
std::optional<int32_t> AskPlayerFights();

// One number editor: prompt with the old value, a line of input, its leading number clamped on the
// full 32-bit value before it is stored in the field's width, then the save. The extended screen
// walks a table of these too.
struct NumberEditor {
  char key;
  FieldRef field;
  const char* prompt;        // the old value follows it
  bool commas;               // old value with IntToStrCommas, else IntToStr
  uint8_t prompt_row;        // the prompt area opens at column 1 of this row
  bool empty_line;           // opened with an empty line instead of BlankLine
  int32_t low_bound;         // a number below it...
  int32_t low_replacement;   // ...is stored as this
  int32_t high_bound;        // a number above it is stored as it
  const char* input_marker = "    `%> ";
};

void RunNumberEditor(const NumberEditor& editor);
// The number editor, on the main or the extended screen, of the field at that offset; nullptr when
// the screens have none (the command words clamp as the screens do).
const NumberEditor* NumberEditorOfField(uint16_t offset);
// The values the toggle of the field at that offset gives (empty: the screens have none), and
// whether a text editor takes it (and in capitals): the command words change fields as the
// screens do.
std::vector<int32_t> ToggleValuesOfField(uint16_t offset);
bool TextEditorOfField(uint16_t offset, bool& upper_case);
// The death toggle's other half: dying empties the hit points, reviving fills them up to the most.
void SetHitPointsForDeath(PlayerRecord& record);
// Its question alone: the clamped answer, or nothing when Esc backed out.
std::optional<int32_t> AskNumber(const NumberEditor& editor);

// A flag flipped by one key: on becomes off; off, and any other value when others_to_on, becomes on;
// other values otherwise stay (some flags hold values the game alone knows).
int32_t FlippedFlag(int32_t value, int32_t on, int32_t off, bool others_to_on);
// The value a converted answer is stored as.
int32_t ClampNumber(const NumberEditor& editor, int32_t number);
