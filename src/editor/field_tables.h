// The field editors' tables, main and extended screen alike: the range each number editor stores,
// the values each toggle gives, the text editors' fields. The screens walk them; the command words
// change fields by the same rules.
#pragma once
#include <cstdint>
#include <vector>

#include "editor/player_record.h"

// One number editor: prompt with the old value, a line of input, its leading number clamped on the
// full 32-bit value before it is stored in the field's width, then the save.
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

constexpr int32_t kFlagYes = 5;

// A main-screen toggle: no prompt, one key flips or cycles a flag and saves.
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

// An extended-screen flag that flips between on and off. A value that is neither is set to on when
// others_to_on, and otherwise left as it is: the game gives those values meanings of its own.
struct ExtToggle {
  char key;
  FieldRef field;
  int32_t on;
  int32_t off;
  bool others_to_on;
};

// A length-prefixed text field named by place and maximum, like FieldRef for numbers.
struct TextFieldRef {
  uint16_t offset;
  uint8_t max;
};

struct TextEditor {
  char key;
  TextFieldRef field;
  const char* prompt;
  bool shows_old_value;
  bool upper_case;  // real names are stored in capitals
};

// Each screen's row for a key, or nullptr.
const NumberEditor* MainNumberEditor(char key);
const NumberEditor* ExtNumberEditor(char key);
const Toggle* MainToggle(char key);
const ExtToggle* ExtToggleOfKey(char key);
const TextEditor* MainTextEditor(char key);

// The number editor, on the main or the extended screen, of the field at that offset; nullptr when
// the screens have none (the command words clamp as the screens do).
const NumberEditor* NumberEditorOfField(uint16_t offset);
// The values the toggle of the field at that offset gives (empty: the screens have none), and
// whether a text editor takes it (and in capitals): the command words change fields as the
// screens do.
std::vector<int32_t> ToggleValuesOfField(uint16_t offset);
bool TextEditorOfField(uint16_t offset, bool& upper_case);

// The value a converted answer is stored as.
int32_t ClampNumber(const NumberEditor& editor, int32_t number);
// A flag flipped by one key: on becomes off; off, and any other value when others_to_on, becomes
// on; other values otherwise stay (some flags hold values the game alone knows).
int32_t FlippedFlag(int32_t value, int32_t on, int32_t off, bool others_to_on);
// The death toggle's other half: dying empties the hit points, reviving fills them up to the most.
void SetHitPointsForDeath(PlayerRecord& record);
