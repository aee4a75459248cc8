// The text editors of the main screen: the two names, the weapon and the armour.
#include <cstdint>
#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/field_editor_kinds.h"
#include "editor/field_tables.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/player_record.h"
#include "editor/prompts.h"

namespace {

void RunTextEditorRow(const TextEditor& editor) {
  // No cursor move: the prompt opens where the main screen left the cursor.
  BlankLine();
  std::string prompt = editor.prompt;
  if (editor.shows_old_value)
    prompt += ReadRecordText(editor_state.current_record, editor.field.offset, editor.field.max);
  DoorPrintColourLn(prompt);
  DoorPrintColour("    `%> ");
  std::string answer = DoorInputLine();
  // Esc backs out: the text keeps its value (and nothing is written).
  if (DoorInputEscaped()) return;
  WriteRecordText(editor_state.current_record, editor.field.offset, editor.field.max,
                  editor.upper_case ? UpperStr(answer) : answer);
  SaveCurrentPlayer();
}

}  // namespace

bool RunMainTextEditor(char key) {
  const TextEditor* editor = MainTextEditor(key);
  if (editor != nullptr) RunTextEditorRow(*editor);
  return editor != nullptr;
}
