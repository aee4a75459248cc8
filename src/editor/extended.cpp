// The extended info screen: the fields the main screen has no room for, the daily flags, the three
// skills and their use points, the repair and the skill-use new day.
#include "editor/extended.h"

#include <cstdint>
#include <iterator>
#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/field_editors.h"
#include "editor/key_table.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/player_record.h"
#include "editor/repair.h"

namespace {

#define F PLAYER_FIELD

enum ExtTextKind : uint8_t { etYesWhenNonZero, etYesWhenEqual, etNumber };

struct ExtTextRow {
  char key;
  FieldRef field;
  ExtTextKind kind;
  int32_t yes_value;   // etYesWhenEqual
  const char* prefix;  // etNumber
};

const ExtTextRow kExtTexts[] = {
    {'1', F(high_spirits), etYesWhenNonZero, 0, nullptr},
    {'2', F(kills), etNumber, 0, "`!"},
    {'3', F(horse), etYesWhenEqual, 1, nullptr},
    {'4', F(games_won), etNumber, 0, "`!"},
    {'5', F(lays), etNumber, 0, "`!"},
    {'6', F(kids), etNumber, 0, "`!"},
    {'7', F(weird_event), etYesWhenEqual, 5, nullptr},
    {'8', F(on_now), etYesWhenNonZero, 0, nullptr},
    {'B', F(skill_dk), etNumber, 0, "`#"},
    {'C', F(uses_dk), etNumber, 0, "`#"},
    {'D', F(skill_mystic), etNumber, 0, "`#"},
    {'E', F(uses_mystic), etNumber, 0, "`#"},
    {'F', F(skill_thief), etNumber, 0, "`#"},
    {'G', F(uses_thief), etNumber, 0, "`#"},
};

const FieldPairRow kFlagRows[] = {
    {"~x06`0(`$1`0) High Spirits?  : ", '1', "    ~x40`0(`$2`0) # of Kills : ", '2'},
    {"~x06`0(`$3`0) Has a Horse?   : ", '3', "      ~x40`0(`$4`0) Games Won  : ", '4'},
    {"~x06`0(`$5`0) Times Laid     : ", '5', "       ~x40`0(`$6`0) # of Kids  : ", '6'},
    {"~x06`0(`$7`0) Weird Forest Event?: ", '7', "  ~x40`0(`$8`0) Is Player On Now?: ", '8'},
};

const FieldPairRow kSkillRows[] = {
    {"~x06`0(`%B`0) Warrior Skills`%: ", 'B', "  ~x40`0(`%C`0) Warrior Uses `%: ", 'C'},
    {"~x06`0(`%D`0) Mystic Skills `%: ", 'D', "  ~x40`0(`%E`0) Mystic Uses  `%: ", 'E'},
    {"~x06`0(`%F`0) Thief Skills  `%: ", 'F', "  ~x40`0(`%G`0) Thief Uses   `%: ", 'G'},
};

// Daily skill uses: skill points (divided by 4 for all but the mystic), one more in the own class.
struct SkillUse {
  FieldRef skill;
  FieldRef uses;
  int32_t divisor;
  uint8_t skill_class;
};

const SkillUse kSkillUses[] = {
    {F(skill_dk), F(uses_dk), 4, 1},
    {F(skill_mystic), F(uses_mystic), 1, 2},
    {F(skill_thief), F(uses_thief), 4, 3},
};

#undef F

std::string TextOf(const ExtTextRow& row) {
  int32_t value = ReadField(editor_state.current_record, row.field);
  switch (row.kind) {
    case etYesWhenNonZero: return value != 0 ? "`!Yes! " : "`!Nope!";
    case etYesWhenEqual: return value == row.yes_value ? "`!Yes! " : "`!Nope!";
    case etNumber: return row.prefix + IntToStr(value);
  }
  return {};
}

void PrintRows(const FieldPairRow* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const FieldPairRow& row = rows[i];
    DoorPrintColourLn(std::string(row.left_label) + ExtFieldText(row.left_key) + row.right_label +
                      ExtFieldText(row.right_key));
  }
}

void DrawExtendedScreen() {
  DoorClearScreen();
  DoorGotoXY(5, 1);
  DoorPrintCentredLn(std::string("`%  ** EXTENDED INFO STATS EDITOR **  `$Zorvan/32 `#") +
                     version_text);
  DoorSkipLines(1);
  PrintRows(kFlagRows, std::size(kFlagRows));
  DoorPrintColourLn("~x06`%    Last Time On       : " + LastOnText() +
                    "        ~x40`%    Last Resurrection: " + GameDayText());
  DoorPrintColourLn("~x06`%(`$9`0) High Spirits/Weird Event toggle ON/OFF.");
  DoorPrintColourLn("~x06`%(`$A`0) Fix negative/above-range values in player's VARN stats.");
  DoorSkipLines(1);
  PrintRows(kSkillRows, std::size(kSkillRows));
  DoorPrintColourLn("~x06`0(`%*`0) `!New Day for Player: `$Skill Uses update.");
  DoorPrintCentred(RepeatChar(40, '*'));
  DoorSkipLines(2);
  DoorPrintCentred("`$VARN Information for player: `@" + editor_state.current_record.name.Get() +
                   ".");
  DoorSkipLines(1);
  DoorPrintColourLn("`%    Input key to change, or `@Q `%to quit and save.");
  DoorPrintColourLn("`%    Your command, master?`@: ");
}

void RunToggle(char key) {
  const ExtToggle* t = ExtToggleOfKey(key);
  if (t == nullptr) return;
  WriteField(editor_state.current_record, t->field,
             FlippedFlag(ReadField(editor_state.current_record, t->field), t->on, t->off,
                         t->others_to_on));
  SaveCurrentPlayer();
}

bool RunExtNumberEditor(char key) {
  const NumberEditor* editor = ExtNumberEditor(key);
  if (editor != nullptr) RunNumberEditor(*editor);
  return editor != nullptr;
}

void RunExtendedKey(char key) {
  if (RunExtNumberEditor(key)) return;
  switch (key) {
    case '9':
      RunToggle('1');
      RunToggle('7');
      break;
    case 'A': RepairStats(); break;
    case '*': SkillUsesUpdate(); break;
    default: RunToggle(key); break;
  }
}

}  // namespace

std::string ExtFieldText(char key) {
  const ExtTextRow* row = FindKeyRow(kExtTexts, key);
  return row != nullptr ? TextOf(*row) : std::string();
}

void SkillUsesUpdate() {
  FileResult result = UpdateCurrentPlayer(OperationKind::kNewDay, [](PlayerRecord& record) {
    for (const SkillUse& s : kSkillUses) {
      int32_t entitled = ReadField(record, s.skill) / s.divisor;  // toward zero
      if (record.skill_class == s.skill_class) ++entitled;
      // A byte holds no more than 127; a mystic at 127 in the own class must not wrap to -128.
      if (entitled > INT8_MAX) entitled = INT8_MAX;
      if (ReadField(record, s.uses) < entitled) WriteField(record, s.uses, entitled);
    }
  });
  ReportOperation(result, {}, "The skill uses were not updated.");
}

void ExtendedEditor() {
  for (;;) {
    DrawExtendedScreen();
    char key = DoorGetChoice("123456789ABCDEFGQ*");
    if (key == 'Q') break;
    RunExtendedKey(key);
  }
}
