// The number editors of the main screen and the dispatch of a field key to its editor.
#include "editor/field_editors.h"

#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/field_editor_kinds.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/prompts.h"

std::optional<int32_t> AskNumber(const NumberEditor& editor) {
  DoorGotoXY(1, editor.prompt_row);
  if (editor.empty_line)
    DoorWriteLn("");
  else
    BlankLine();
  int32_t old_value = ReadField(editor_state.current_record, editor.field);
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
  WriteField(editor_state.current_record, editor.field, *number);
  SaveCurrentPlayer();
}

bool RunMainNumberEditor(char key) {
  const NumberEditor* editor = MainNumberEditor(key);
  if (editor == nullptr) return false;
  RunNumberEditor(*editor);
  return true;
}

std::optional<int32_t> AskForestFights() { return AskNumber(*MainNumberEditor('9')); }
std::optional<int32_t> AskPlayerFights() { return AskNumber(*MainNumberEditor('0')); }

bool RunFieldEditor(char key, DrawScreen draw_screen) {
  if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
  return RunMainNumberEditor(key) || RunMainTextEditor(key) || RunMainToggle(key, draw_screen);
}
