// The main edit screen: 28 fields of the current player, each behind the key that changes it, and the
// loop that dispatches those keys.
#include "editor/main_screen.h"

#include <string_view>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/clean_slate.h"
#include "editor/editor_state.h"
#include "editor/extended.h"
#include "editor/field_editors.h"
#include "editor/key_table.h"
#include "editor/marriage.h"
#include "editor/married_to.h"
#include "editor/new_day.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/search.h"

namespace {

const std::string_view kCommandSet = "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ@$][*#";
const std::string_view kFieldEditorKeys = "1234567890ABCDEFGHIJKLMNOP@";

// How a field's value is shown.
enum class Shown : uint8_t {
  kText,       // prefix, then the stored text
  kDecimal,    // prefix, the number, suffix
  kCommas,     // prefix, the number with thousands commas
  kYesNo,      // "Yes" for 5, else "No!"
  kSkillClass,
  kSex,
  kFlirted,
  kMarried,
};

struct MainField {
  char key;
  Shown how;
  const char* prefix;
  FieldRef field;                               // numeric fields
  std::string (*text)(const PlayerRecord&);     // text fields
  const char* suffix = "";
};

std::string NameText(const PlayerRecord& r) { return r.name.Get(); }
std::string RealNameText(const PlayerRecord& r) { return r.real_name.Get(); }
std::string WeaponText(const PlayerRecord& r) { return r.weapon_name.Get(); }
std::string ArmourText(const PlayerRecord& r) { return r.armour_name.Get(); }

const MainField kMainFields[] = {
    {'1', Shown::kText, "", {}, RealNameText},
    {'2', Shown::kDecimal, "`@", PLAYER_FIELD(level), nullptr, " "},
    {'3', Shown::kText, "`$", {}, NameText},
    {'4', Shown::kCommas, "`$", PLAYER_FIELD(hit_points), nullptr},
    {'5', Shown::kCommas, "", PLAYER_FIELD(experience), nullptr},
    {'6', Shown::kCommas, "`$", PLAYER_FIELD(hit_max), nullptr},
    {'7', Shown::kText, "", {}, WeaponText},
    {'8', Shown::kDecimal, "`#", PLAYER_FIELD(weapon_num), nullptr},
    {'9', Shown::kDecimal, "", PLAYER_FIELD(forest_fights), nullptr},
    {'0', Shown::kDecimal, "", PLAYER_FIELD(player_fights), nullptr},
    {'A', Shown::kSkillClass, "", PLAYER_FIELD(skill_class), nullptr},
    {'B', Shown::kSex, "", PLAYER_FIELD(sex), nullptr},
    {'C', Shown::kCommas, "`$", PLAYER_FIELD(strength), nullptr},
    {'D', Shown::kYesNo, "", PLAYER_FIELD(seen_master), nullptr},
    {'E', Shown::kCommas, "`$", PLAYER_FIELD(defense), nullptr},
    {'F', Shown::kYesNo, "", PLAYER_FIELD(seen_bard), nullptr},
    {'G', Shown::kCommas, "`$", PLAYER_FIELD(charm), nullptr},
    {'H', Shown::kYesNo, "", PLAYER_FIELD(seen_quenna), nullptr},
    {'I', Shown::kCommas, "", PLAYER_FIELD(gems), nullptr},
    {'J', Shown::kFlirted, "", PLAYER_FIELD(flirted), nullptr},
    {'K', Shown::kText, "", {}, ArmourText},
    {'L', Shown::kDecimal, "`#", PLAYER_FIELD(armour_num), nullptr},
    {'M', Shown::kCommas, "", PLAYER_FIELD(gold), nullptr},
    {'N', Shown::kYesNo, "", PLAYER_FIELD(inn), nullptr},
    {'O', Shown::kCommas, "", PLAYER_FIELD(bank), nullptr},
    {'P', Shown::kYesNo, "", PLAYER_FIELD(dead), nullptr},
    {'Z', Shown::kMarried, "", PLAYER_FIELD(married_to), nullptr},
    {'@', Shown::kYesNo, "", PLAYER_FIELD(seen_dragon), nullptr},
};

// The field rows: the column codes of the labels put the values at columns 21 and 69.
const FieldPairRow kFieldPairRows[] = {
    {"~x03`2(`01`2) Real Name    `%:", '1', "  ~x47`2(`02`2) Level           `%: ", '2'},
    {"~x03`2(`03`2) Nickname     `%:", '3', "      ~x47`2(`04`2) Hit Points      `%: ", '4'},
    {"~x03`2(`05`2) Experience   `%:", '5', "       ~x47`2(`06`2) Hit Max         `%: ", '6'},
    {"~x03`2(`07`2) Weapon Name  `%:", '7', "      ~x47`2(`08`2) Weapon Num      `%: ", '8'},
    {"~x03`2(`09`2) Forest Fights`%:", '9', "  ~x47`2(`00`2) Player Fights   `%: ", '0'},
    {"~x03`2(`0A`2) Skill Class  `%:", 'A', "     ~x47`2(`0B`2) Sex of Player   `%: ", 'B'},
    {"~x03`2(`0C`2) Strength     `%:", 'C', "       ~x47`2(`0D`2) `%Seen Master?    `%: ", 'D'},
    {"~x03`2(`0E`2) Defense      `%:", 'E', "       ~x47`2(`0F`2) `%Heard Bard Sing?`%: ", 'F'},
    {"~x03`2(`0G`2) Charm        `%:", 'G', "     ~x47`2(`0H`2)", 'H'},  // + seen_label
    {"~x03`2(`0I`2) Gems         `%:", 'I', "      ~x47`2(`0J`2) `%Flirted Player? `%: ", 'J'},
    {"~x03`2(`0K`2) Armour Name  `%:", 'K', "     ~x47`2(`0L`2) Armour Num      `%: ", 'L'},
    {"~x03`2(`0M`2) Gold in Hand `%:`@$", 'M', "   ~x47`2(`0N`2) `%Asleep at Inn?  `%: ", 'N'},
    {"~x03`2(`0O`2) Gold in Bank `%:`@$", 'O', "   ~x47`2(`0P`2) `%Is Player Dead? `%: ", 'P'},
    {"~x03`2(`0Z`2) `%Married To   `%:", 'Z', "   ~x47`2(`0@`2) `%Seen Dragon?    `%: ", '@'},
};

const char* const kFooterLines[] = {
    "~x24`2(`0#`2) `9\"Clean Slate\" `%Player Reset",
    "~x03`2(`0X`2)`%Delete Player    `2(`0Y`2)`%Search By Name    `2(`0$`2) `%Extended Info",
    "~x03`2(`0]`2)`%Advance One      `2(`0[`2)`%Back Up One       `2(`0*`2) `%New Day For Player",
};
const char* const kKeyPrompt = "~x03`$    Input key to change, or `%Q `$to quit and save. ";

std::string SkillClassText(int32_t skill_class) {
  switch (skill_class) {
    case 1: return "`$Death Knight `0Skills";
    case 2: return "`$The Mystical `0Skills";
    case 3: return "`$The Thieving `0Skills";
    default: return "";
  }
}

std::string FieldText(const MainField& f) {
  if (f.how == Shown::kText) return f.prefix + f.text(editor_state.current_record);
  int32_t value = ReadField(editor_state.current_record, f.field);
  switch (f.how) {
    case Shown::kDecimal: return f.prefix + IntToStr(value) + f.suffix;
    case Shown::kCommas: return f.prefix + IntToStrCommas(value);
    case Shown::kYesNo: return value == 5 ? "Yes" : "No!";
    case Shown::kSkillClass: return SkillClassText(value);
    case Shown::kSex: return value == 5 ? "Female" : "Male  ";
    case Shown::kFlirted: return value == 5 ? "Yes     " : "Not yet.";
    case Shown::kMarried: return MarriedToText(value);
    case Shown::kText: break;
  }
  return "";
}

std::string MainFieldText(char key) {
  const MainField* field = FindKeyRow(kMainFields, UpperChar(key));
  return field != nullptr ? FieldText(*field) : "";
}

void DrawFieldRow(const FieldPairRow& row) {
  std::string left = MainFieldText(row.left_key);
  std::string right_label = row.right_label;
  if (row.right_key == 'H') right_label += editor_state.seen_label;
  std::string right = MainFieldText(row.right_key);
  DoorPrintLn(row.left_label + left + right_label + right);
}

const char* const kQuitAgainLine = "  `%Press `@Q `%again to quit and lose the change.";
const char* const kQuitLossLine = "  `@Quit without saving:  `%the change to this player is lost.";

// A failed save stays visible on row 23 until a later save gets through; a notice of the last
// command follows it on every redraw until the next key.
void DrawNotices() {
  uint8_t row = 23;
  editor_state.notice_on_screen = false;
  for (const std::string& line :
       {editor_state.save_pending ? SaveNotice() : std::string(), editor_state.screen_notice}) {
    if (line.empty()) continue;
    DoorPrintAt(1, row++, line);
    editor_state.notice_on_screen = true;
  }
  if (editor_state.notice_on_screen) DoorGotoXY(1, 22);
}

// What a command writes under the screen (prompts, the credits) starts on clear rows, so no tail
// of a longer notice is left beside it.
void ClearNoticeRows() {
  if (!editor_state.notice_on_screen) return;
  for (uint8_t row : {23, 24}) {
    DoorGotoXY(1, row);
    DoorClearEol();
  }
  DoorGotoXY(1, 22);
  editor_state.notice_on_screen = false;
}

// The count for a move; false, with the reason shown, when there is nothing sure to move to. A
// count that cannot be read is not an empty file: moving on it would leave the range of the file.
bool CountForMove(int32_t& count) {
  FileResult result = CountPlayers(count);
  if (result == frDone && count == 0) result = frOutside;
  if (result == frDone) return true;
  editor_state.screen_notice = StayNotice(result);
  return false;
}

void MoveTo(uint8_t n) {
  FileResult result = MoveToPlayer(n);
  if (result != frDone) editor_state.screen_notice = StayNotice(result);
}

void NextPlayer() {
  int32_t count = 0;
  if (!ReadyToLeaveCurrentPlayer() || !CountForMove(count)) return;
  auto next = static_cast<uint8_t>(editor_state.current_player + 1);
  MoveTo(next > count - 1 ? 0 : next);
}

void PreviousPlayer() {
  int32_t count = 0;
  if (!ReadyToLeaveCurrentPlayer() || !CountForMove(count)) return;
  MoveTo(editor_state.current_player == 0 ? static_cast<uint8_t>(count - 1)
                                          : static_cast<uint8_t>(editor_state.current_player - 1));
}

enum class QuitStep : uint8_t { kLeave, kLeaveWithoutChange, kStay };

// Q saves a waiting change first. One that still cannot be saved keeps the editor here with its
// notice; only a second Q right after leaves without it, and says so.
QuitStep QuitStepFor(bool asked_before) {
  if (ReadyToLeaveCurrentPlayer()) return QuitStep::kLeave;
  if (!asked_before) return QuitStep::kStay;
  editor_state.save_pending = false;  // given up, in so many words
  return QuitStep::kLeaveWithoutChange;
}

void ChooseSeenLabel() {
  if (editor_state.current_record.sex == 0) editor_state.seen_label = " `%Seen `$Quenna?    `%: ";
  if (editor_state.current_record.sex == 5) editor_state.seen_label = " `%Seen the `$Bard?  `%: ";
}

std::string AccountNumberText() { return "`$" + IntToStr(editor_state.current_player); }

void DrawMainScreen() {
  ChooseSeenLabel();
  DoorClearScreen();
  DoorPrintCentredLn(std::string("`%** `@ Vexorn VarnEdit/32 `$") + version_text + " `%**");
  DoorPrintCentredLn("`%Account Number: " + AccountNumberText());
  for (const FieldPairRow& row : kFieldPairRows) DrawFieldRow(row);
  DoorPrintLn(" ");
  for (const char* line : kFooterLines) DoorPrintLn(line);
  DoorPrintCodedLn(kKeyPrompt);
  DrawNotices();
}

// The screen as the operator sees it: a question the married-to field depends on comes first.
void ShowMainScreen() {
  AskAboutBothCharacters();
  DrawMainScreen();
}

// Every command is followed by the loop's drawing of the screen. One whose result has always
// stood on a screen of its own returns kRedraw: the screen is drawn for it first. The commands
// that draw it in the middle of their work are given the drawing.
constexpr bool kRedraw = true;
constexpr bool kNoRedraw = false;

struct Command {
  char key;
  bool (*action)();
};

const Command kCommands[] = {
    {'Z', [] { MarriageEditor(ShowMainScreen); return kNoRedraw; }},
    {'X', DeletePlayer},
    {'Y', SearchPlayer},
    {'$', [] { ExtendedEditor(); return kRedraw; }},
    {'*', NewDayForPlayer},
    {'#', [] { GiveCleanSlate(ShowMainScreen); return kNoRedraw; }},
    {']', [] { NextPlayer(); return kNoRedraw; }},
    {'[', [] { PreviousPlayer(); return kNoRedraw; }},
};

void RunCommand(char key) {
  if (kFieldEditorKeys.find(key) != std::string_view::npos) {
    RunFieldEditor(key, ShowMainScreen);
    return;
  }
  const Command* command = FindKeyRow(kCommands, key);
  if (command != nullptr && command->action() == kRedraw) ShowMainScreen();
  // Q and R-W do nothing here; the loop redraws.
}

}  // namespace

void MainLoop() {
  ShowMainScreen();
  bool quit_refused = false;
  for (;;) {
    char key = DoorGetChoice(kCommandSet);
    editor_state.screen_notice.clear();  // seen: it has stood on the screen until this key
    ClearNoticeRows();
    bool asked_before = quit_refused;
    quit_refused = false;
    if (key != 'Q') {
      RunCommand(key);
      ShowMainScreen();
      continue;
    }
    QuitStep step = QuitStepFor(asked_before);
    if (step != QuitStep::kStay) {
      ShowMainScreen();
      if (step == QuitStep::kLeaveWithoutChange) DoorPrintLn(kQuitLossLine);
      return;
    }
    quit_refused = true;
    ShowMainScreen();
    DoorPrintAt(1, 24, kQuitAgainLine);
    DoorGotoXY(1, 22);
  }
}
