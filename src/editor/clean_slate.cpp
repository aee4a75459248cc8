#include "editor/clean_slate.h"

#include <algorithm>
#include <climits>
#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/player_record.h"
#include "editor/prompts.h"
#include "runtime/halt.h"

namespace {

constexpr int kEntryLevel = 1;
constexpr int kPostDragon = 2;

// A value no field takes from this table: the field keeps what it holds under that type.
constexpr int32_t kKeep = INT32_MIN;

struct ResetValue {
  FieldRef field;
  int32_t entry_level;
  int32_t post_dragon;
};

// A post-dragon reset keeps what a dragon kill keeps: charm, family, skills and kills.
const ResetValue kResetValues[] = {
    {PLAYER_FIELD(hit_points), 20, 20},
    {PLAYER_FIELD(hit_max), 20, 20},
    {PLAYER_FIELD(strength), 10, 10},
    {PLAYER_FIELD(defense), 1, 1},
    {PLAYER_FIELD(charm), 1, kKeep},
    {PLAYER_FIELD(experience), 1, 10},
    {PLAYER_FIELD(forest_fights), 30, 50},
    {PLAYER_FIELD(player_fights), 3, 4},
    {PLAYER_FIELD(gold), 500, 500},
    {PLAYER_FIELD(bank), 0, 0},
    {PLAYER_FIELD(gems), 0, 10},
    {PLAYER_FIELD(level), 1, 1},
    {PLAYER_FIELD(weapon_num), 1, 1},
    {PLAYER_FIELD(armour_num), 1, 1},
    {PLAYER_FIELD(lays), 0, kKeep},
    {PLAYER_FIELD(kids), 0, kKeep},
    {PLAYER_FIELD(games_won), 0, kKeep},
    {PLAYER_FIELD(skill_dk), 0, kKeep},
    {PLAYER_FIELD(skill_mystic), 0, kKeep},
    {PLAYER_FIELD(skill_thief), 0, kKeep},
    {PLAYER_FIELD(kills), 0, kKeep},
    {PLAYER_FIELD(flirted), 0, kKeep},
    {PLAYER_FIELD(horse), 0, kKeep},
    {PLAYER_FIELD(inn), 0, 0},
    {PLAYER_FIELD(dead), 0, 0},
    {PLAYER_FIELD(seen_master), 0, 0},
    {PLAYER_FIELD(seen_bard), 0, 0},
    {PLAYER_FIELD(seen_quenna), 0, 0},
    {PLAYER_FIELD(seen_dragon), 0, 0},
};

// An entry-level player starts with one use of the class's own skill. A record without a valid
// class keeps its uses: there is no class to give the use to.
struct ClassUses {
  uint8_t skill_class;
  int8_t dk, mystic, thief;
};
const ClassUses kEntryUses[] = {{1, 1, 0, 0}, {2, 0, 1, 0}, {3, 0, 0, 1}};

void ApplyReset(PlayerRecord& record, int type) {
  for (const auto& value : kResetValues) {
    int32_t v = type == kEntryLevel ? value.entry_level : value.post_dragon;
    if (v != kKeep) WriteField(record, value.field, v);
  }
  record.weapon_name.Set("Stick");
  record.armour_name.Set("Coat");
  if (type != kEntryLevel) return;
  for (const auto& uses : kEntryUses) {
    if (uses.skill_class != record.skill_class) continue;
    record.uses_dk = uses.dk;
    record.uses_mystic = uses.mystic;
    record.uses_thief = uses.thief;
  }
}

bool Confirmed(const std::string& name) {
  DoorGotoXY(1, 24);
  DoorPrintColourLn(" Player Status Info: Clean Slate Reset of Player In Progress!");
  DoorPrintColourLn("  Do \"Clean Slate\" Reset Now? of player: " + name + "?");
  DoorWrite("  Enter Y or N as response. ");
  bool yes = YesNo();
  DoorPrintColourLn(yes ? "`%Yes" : "`%No");
  return yes;
}

// 0 (abort), 1 or 2. Only the low byte of the number counts, read as signed, so 257 picks type 1
// and 200 (-56) aborts; anything above 2 picks the post-dragon reset.
int AskResetType() {
  DoorGotoXY(1, 24);
  BlankLine();
  DoorPrintColourLn("  Choose Reset Type:  1= Entry Level. 2= Post-Dragon.");
  DoorWrite("    0= Abort.  Enter selection code now:  ");
  auto selection = static_cast<int8_t>(StrToIntLead(DoorInputLine()) & 0xFF);
  return std::clamp<int>(selection, 0, kPostDragon);
}

}  // namespace

void GiveCleanSlate(DrawScreen draw_screen) {
  const std::string name = editor_state.current_record.name.Get();
  if (!Confirmed(name)) {
    DoorPrintColourLn(" Player Status Info: \"Clean Slate\" Changes aborted!");
    return;
  }
  int type = AskResetType();
  if (type == 0) {
    DoorPrintColourLn(" Clean Slate Warning: Invalid response entered. Terminating process.");
    return;
  }
  // The reset is made on the record as read under the hold, and its mail and news go out only once
  // it is written; a notice that cannot be written puts everything back.
  GameOperation op(OperationKind::kCleanSlate);
  PlayerRecord record;
  FileResult result = op.Begin();
  if (result == frDone) result = ReadCurrentMerged(record);
  if (result == frDone) {
    ApplyReset(record, type);
    result = op.Write(editor_state.current_player, record);
  }
  WriteCleanSlateNotices(op, type, editor_state.current_player, record.name.Get());
  if (result == frDone) result = CommitShown(op);
  if (result != frDone && !op.FailedFile().empty())
    RunError(GamePath(op.FailedFile()), op.FailedError());  // with PLAYER.DAT as it was
  if (result != frDone) {
    editor_state.screen_notice =
        "  `@" + FileProblemText(result) + "  `%Clean Slate not done: no reset, no mail or news.";
    return;
  }
  SetCurrentPlayerRecord(record);  // a change waiting from before went out with the reset
  draw_screen();
  DoorPrintColourLn(" Clean State Info: " + name + " has been punished!  Stats Reset Finished!");
  DoorPrintColourLn(" Clean Slate Note: Player has been notified by mail, Daily News messages.");
}
