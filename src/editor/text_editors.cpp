// The text editors of the main screen: the two names, the weapon and the armour.
#include <cstddef>
#include <cstdint>
#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/field_editor_kinds.h"
#include "editor/field_editors.h"
#include "editor/key_table.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/player_record.h"
#include "editor/prompts.h"

namespace {

// A length-prefixed text field named by place and maximum, like FieldRef for numbers.
struct TextFieldRef {
  uint16_t offset;
  uint8_t max;
};

#define T(member)                                                          \
  TextFieldRef {                                                           \
    static_cast<uint16_t>(offsetof(PlayerRecord, member)),                 \
        static_cast<uint8_t>(sizeof(PlayerRecord::member.chars))           \
  }

struct TextEditor {
  char key;
  TextFieldRef field;
  const char* prompt;
  bool shows_old_value;
  bool upper_case;  // real names are stored in capitals
};

const TextEditor kTextEditors[] = {
    {'1', T(real_name), "  `%Enter the REAL name for player.", false, true},
    {'3', T(name), "  `%Enter VARN Name for player. `!Old value: `$", true, false},
    {'7', T(weapon_name), "  `%Enter new Weapon Name. `!Old Value: `$", true, false},
    {'K', T(armour_name), "  `%Enter new Armour Name. `!Old value: `$", true, false},
};

#undef T

void RunTextEditorRow(const TextEditor& editor) {
  // No cursor move: the prompt opens where the main screen left the cursor.
  BlankLine();
  std::string prompt = editor.prompt;
  if (editor.shows_old_value) prompt += ReadRecordText(current_record, editor.field.offset, editor.field.max);
  DoorPrintColourLn(prompt);
  DoorPrintColour("    `%> ");
  std::string answer = DoorInputLine();
  // Esc backs out: the text keeps its value (and nothing is written).
  if (DoorInputEscaped()) return;
  WriteRecordText(current_record, editor.field.offset, editor.field.max,
                  editor.upper_case ? UpperStr(answer) : answer);
  SaveCurrentPlayer();
}

}  // namespace

bool TextEditorOfField(uint16_t offset, bool& upper_case) {
  for (const TextEditor& editor : kTextEditors) {
    if (editor.field.offset != offset) continue;
    upper_case = editor.upper_case;
    return true;
  }
  return false;
}

bool RunMainTextEditor(char key) {
  const TextEditor* editor = FindKeyRow(kTextEditors, key);
  if (editor != nullptr) RunTextEditorRow(*editor);
  return editor != nullptr;
}
