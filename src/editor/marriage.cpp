// The marriage editor's dialogue: the double-marriage repair, the request, its sorting into a case,
// and the two weddings every case ends in.
#include "editor/marriage.h"

#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/divorce.h"
#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/married_to.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/prompts.h"

namespace {

const char* const kNoChangeLine = "  `!Marriage Update Info:  `0No changes selected at this time";

// How the current player stands; a character marriage is tested before a player marriage, Quenna
// before Dask Able.
enum Standing : uint8_t { stPlayer, stQuenna, stDask, stUnmarried };
// What was asked for: -1, -2, or a player.
enum Asked : uint8_t { akDivorce, akCharacter, akPlayer };
enum Condition : uint8_t {
  cdAlways,
  cdRIsDaskWife,       // D = R
  cdRIsQuennaHusband,  // Q = R
  cdDaskMarried,       // D >= 0
  cdQuennaMarried,     // Q >= 0
  cdDaskFree,          // D = -1
  cdQuennaFree,        // Q = -1
  cdRMarried,          // P >= 0
  cdRFree,             // P = -1
  cdRFreeNotDask,      // P = -1, D /= R
  cdRFreeNotQuenna,    // P = -1, Q /= R
  cdRFreeOfAll,        // P = -1, Q /= R, D /= R
};
constexpr int kAnySex = -1;

struct CaseRow {
  Standing standing;
  Asked asked;
  int sex;
  Condition condition;
  uint8_t marriage_case;
};

// Walked in order: the first row that holds gives the case.
const CaseRow kCaseRows[] = {
    {stDask, akDivorce, kAnySex, cdAlways, 4},
    {stQuenna, akDivorce, kAnySex, cdAlways, 3},
    {stPlayer, akPlayer, kAnySex, cdRIsDaskWife, 22},
    {stPlayer, akPlayer, kAnySex, cdRIsQuennaHusband, 21},
    {stPlayer, akCharacter, 5, cdDaskMarried, 16},
    {stPlayer, akCharacter, 0, cdQuennaMarried, 15},
    {stPlayer, akCharacter, 5, cdDaskFree, 8},
    {stPlayer, akCharacter, 0, cdQuennaFree, 7},
    {stPlayer, akPlayer, kAnySex, cdRMarried, 6},
    {stPlayer, akPlayer, kAnySex, cdRFreeOfAll, 5},
    {stQuenna, akPlayer, kAnySex, cdRIsDaskWife, 17},
    {stQuenna, akPlayer, kAnySex, cdRMarried, 13},
    {stQuenna, akPlayer, kAnySex, cdRFreeNotDask, 11},
    {stDask, akPlayer, kAnySex, cdRIsQuennaHusband, 18},
    {stDask, akPlayer, kAnySex, cdRMarried, 14},
    {stDask, akPlayer, kAnySex, cdRFreeNotQuenna, 12},
    {stUnmarried, akPlayer, kAnySex, cdRIsDaskWife, 20},
    {stUnmarried, akPlayer, kAnySex, cdRIsQuennaHusband, 19},
    {stUnmarried, akCharacter, 5, cdDaskFree, 10},
    {stUnmarried, akCharacter, 0, cdQuennaFree, 9},
    {stUnmarried, akPlayer, kAnySex, cdRMarried, 2},
    {stUnmarried, akPlayer, kAnySex, cdRFree, 1},
    {stUnmarried, akCharacter, 0, cdAlways, 23},
    {stUnmarried, akCharacter, 5, cdAlways, 24},
};

Standing StandingOf(const MarriageRequest& rq) {
  if (rq.q == editor_state.current_player) return stQuenna;
  if (rq.d == editor_state.current_player) return stDask;
  return rq.m >= 0 ? stPlayer : stUnmarried;
}

Asked AskedOf(int32_t r) { return r == -1 ? akDivorce : r == -2 ? akCharacter : akPlayer; }

bool Holds(Condition condition, const MarriageRequest& rq) {
  switch (condition) {
    case cdAlways: return true;
    case cdRIsDaskWife: return rq.d == rq.r;
    case cdRIsQuennaHusband: return rq.q == rq.r;
    case cdDaskMarried: return rq.d >= 0;
    case cdQuennaMarried: return rq.q >= 0;
    case cdDaskFree: return rq.d == -1;
    case cdQuennaFree: return rq.q == -1;
    case cdRMarried: return rq.p >= 0;
    case cdRFree: return rq.p == -1;
    case cdRFreeNotDask: return rq.p == -1 && rq.d != rq.r;
    case cdRFreeNotQuenna: return rq.p == -1 && rq.q != rq.r;
    case cdRFreeOfAll: return rq.p == -1 && rq.q != rq.r && rq.d != rq.r;
  }
  return false;
}

int32_t ReadNpcSpouse(int character) {
  return character == npcQuenna ? ReadQuennaSpouse() : ReadDaskSpouse();
}

// A player married to another player and to a character: the player marriage wins.
void RepairDoubleMarriage(int32_t m) {
  if (m < 0) return;
  for (int character : {npcQuenna, npcDask}) {
    if (ReadNpcSpouse(character) != editor_state.current_player) continue;
    std::string name = NpcName(character);
    DoorPrintLn("  `#Two marriage Alert:  `%Player is Married to a Player AND to `$" + name + "!");
    if (!DeleteCharacterFiles(OperationKind::kDoubleMarriageRepair, {character})) continue;
    DoorPrintLn("  `!ZORVAN/32 Advisory: `%Invalid marriage to " + name + " was deleted.");
  }
}

void ShowCurrentData() {
  DoorPrintLn(" ");
  DoorPrintCentredLn("  `!Current Marriage data: ");
  AskAboutBothCharacters();
  DoorPrintLn("  `0" + editor_state.current_record.name.Get() + " `!is Married to player: `$" +
              MarriedToText(editor_state.current_record.married_to) + " ");
  DoorPrintLn("   `%(`#-1 Nobody `%means player is NOT Married)");
  BlankLine();
  DoorPrintLn("  `0Marriage Change Codes:  `%-1 = Divorce. -2 = Dask Able/Quenna ");
  DoorPrintCodedLn("  `!Enter Player # to Marry/Divorce current player to/from: ");
}

// Both characters' files, Dask Able's first since its check may delete either. False, with a
// line saying so, when either could not be read: any case may involve either character.
bool ReadCharacters(MarriageRequest& rq) {
  rq.d = ReadDaskSpouse();
  rq.q = ReadQuennaSpouse();
  for (int character : {npcQuenna, npcDask}) {
    if ((character == npcQuenna ? rq.q : rq.d) != kSpouseUnknown) continue;
    editor_state.screen_notice = std::string("  `@") + NpcFileName(character) +
                                 " cannot be read!  `%" + NpcName(character) +
                                 "'s marriage is unknown, so nothing was changed.";
    return false;
  }
  return true;
}

// The players and names the case's questions and lines need. False when the requested player's
// record cannot be read: deciding on a stale copy could marry someone twice.
bool GatherPlayers(MarriageRequest& rq) {
  rq.c_name = editor_state.current_record.name.Get();
  rq.sex = editor_state.current_record.sex;
  if (rq.m >= 0) {
    rq.z_text = MarriedToText(editor_state.current_record.married_to);
    LoadWorkRecord(rq.m, wkSpouseOfCurrent);
    rq.b_name = SpouseNameText(rq.m, wkSpouseOfCurrent);
  }
  if (rq.r >= 0) {
    if (!LoadWorkRecord(rq.r, wkProbe) || !LoadWorkRecord(rq.r, wkRequested)) {
      editor_state.screen_notice = "  `@PLAYER.DAT is busy!  `%Player " + IntToStr(rq.r) +
                                   " could not be read, so nothing was changed.";
      return false;
    }
    rq.p = editor_state.work_records[wkProbe].married_to;
    rq.same_sex = editor_state.same_sex;
    rq.r_name = editor_state.work_records[wkRequested].name.Get();
    if (rq.p >= 0 && LoadWorkRecord(rq.p, wkSpouseOfRequested))
      rq.s_name = editor_state.work_records[wkSpouseOfRequested].name.Get();
  }
  if (rq.q >= 0) rq.qh_name = editor_state.work_records[wkQuennaHusband].name.Get();
  if (rq.d >= 0) rq.dw_name = editor_state.work_records[wkDaskWife].name.Get();
  return true;
}

// The case's number under /DEBUG, then the case, or the advisory when there is none.
void RunCase(const char* label, int marriage_case, const MarriageRequest& rq, bool same_sex_asked,
             DrawScreen draw_screen) {
  if (editor_state.debug_mode) DoorPrintLn(std::string(label) + IntToStr(marriage_case));
  if (marriage_case == kNoMarriageCase)
    DoorPrintLn("  `#Advisory:  `%This situation is NOT handled by ZORVAN/32.");
  else
    CarryOutMarriageCase(marriage_case, rq, same_sex_asked, draw_screen);
}

// The request as typed: below -2 is 160 and beyond the last record is the last record.
int32_t RequestNumber(const std::string& entry, int32_t count) {
  int32_t r = StrToIntLead(entry);
  if (r < -2) r = 160;
  if (r > count - 1) r = count - 1;
  return r;
}

}  // namespace

int ClassifyMarriage(const MarriageRequest& rq) {
  Standing standing = StandingOf(rq);
  Asked asked = AskedOf(rq.r);
  for (const CaseRow& row : kCaseRows) {
    if (row.standing == standing && row.asked == asked &&
        (row.sex == kAnySex || row.sex == rq.sex) && Holds(row.condition, rq))
      return row.marriage_case;
  }
  return kNoMarriageCase;
}

void MarriageEditor(DrawScreen draw_screen) {
  MarriageRequest rq;
  rq.m = editor_state.current_record.married_to;
  RepairDoubleMarriage(rq.m);
  ShowCurrentData();
  std::string entry = DoorInputLine();
  // Esc backs out here as at every other prompt, rather than asking for player 0.
  if (DoorInputEscaped()) {
    DoorPrintLn(kNoChangeLine);
    return;
  }
  // The current player is in the file, so no records means a count that could not be read; a
  // request cut down to it would turn into a divorce.
  int32_t count = PlayerCount();
  if (count <= 0) {
    editor_state.screen_notice = "  `@PLAYER.DAT is busy!  `%No marriage change was made.";
    return;
  }
  rq.r = RequestNumber(entry, count);
  if (rq.r == editor_state.current_player) {
    DoorPrintLn("  `#Idiot Alert Info:  `%Player can't marry themselves!");
    return;
  }
  if (!ReadCharacters(rq)) return;
  bool to_character = rq.q == editor_state.current_player || rq.d == editor_state.current_player;
  if (to_character && rq.r == -1) {
    int marriage_case = rq.q == editor_state.current_player ? 3 : 4;
    if (!GatherPlayers(rq)) return;
    RunCase("  `#WTF Divorce Code is `$", marriage_case, rq, false, draw_screen);
    return;
  }
  if (to_character && rq.r >= 0) {  // the character-spouse choice
    if (!GatherPlayers(rq)) return;
    if (rq.same_sex && !SameSexConfirm(rq.r_name)) return;
    RunCase("  `#WTF Marriage Code is `$", ClassifyMarriage(rq), rq, true, draw_screen);
    return;
  }
  if (!to_character && rq.r == rq.m) {
    DoorPrintLn(kNoChangeLine);
    return;
  }
  if (!to_character && rq.r == -1) {
    ConfirmPlayerDivorce(editor_state.current_player, rq.m, draw_screen);
    return;
  }
  DoorWriteLn(" ");
  DoorPrintLn("  `0Marriage Update Info: `!Marrying or Changing Players!");
  if (!GatherPlayers(rq)) return;
  RunCase("  `#ZORVAN/32 Info:  `#WTF Marriage Code is `$", ClassifyMarriage(rq), rq, false,
          draw_screen);
}

bool SameSexConfirm(const std::string& requested_name) {
  DoorPrintLn("  `@WARNING:  `0" + editor_state.current_record.name.Get() +
              " `%is the same Sex type as `!" + StripCodes(requested_name) + "! ");
  DoorPrintLn("  `%This would be a Same-Sex Marriage?   Proceed?");
  DoorPrintCodedLn("  `%Enter Y or N as your response: ");
  bool yes = YesNo();
  DoorPrintLn(yes ? "`%Yes" : "`%No");
  if (!yes) DoorPrintLn("  `#Marriage Info:  `%Same-Sex Marriage request Cancelled by user.");
  return yes;
}

namespace {

const char* const kNoMarriage = "No marriage was made.";

bool Taken(int32_t player) {
  editor_state.screen_notice =
      "  `@Player " + IntToStr(player) + " is married to another now!  `%" + kNoMarriage;
  return false;
}

bool Refuse(const GameOperation& op, FileResult result) {
  editor_state.screen_notice = NotDoneNotice(op, result, kNoMarriage);
  return false;
}

}  // namespace

bool MarryPlayers(int32_t r, DrawScreen draw_screen) {
  GameOperation op(OperationKind::kMarriage);
  PlayerRecord me;
  PlayerRecord& spouse = editor_state.work_records[wkSpouseOfCurrent];
  FileResult result = op.Begin();
  if (result == frDone) result = ReadCurrentMerged(me);
  if (result == frDone) result = op.Read(r, spouse);
  if (result != frDone) return Refuse(op, result);
  // Both must be free (or each other's) as read now: a node may have married either meanwhile.
  if (me.married_to >= 0 && me.married_to != r) return Taken(editor_state.current_player);
  if (spouse.married_to >= 0 && spouse.married_to != editor_state.current_player) return Taken(r);
  me.married_to = static_cast<int16_t>(r);
  spouse.married_to = editor_state.current_player;
  result = op.Write(editor_state.current_player, me);
  if (result == frDone) result = op.Write(r, spouse);
  MailWeddingNotice(op, editor_state.current_player, me.name.Get(), r, spouse.name.Get());
  NewsMarriage(op, me.name.Get(), spouse.name.Get());
  if (result == frDone) result = CommitShown(op);
  if (result != frDone) return Refuse(op, result);
  SetCurrentPlayerRecord(me);
  draw_screen();
  return true;
}

bool MarryNpc(DrawScreen draw_screen) {
  int character = editor_state.current_record.sex == 0   ? npcQuenna
                  : editor_state.current_record.sex == 5 ? npcDask
                                                         : npcNone;
  if (character == npcNone) return false;
  GameOperation op(OperationKind::kMarriage);
  PlayerRecord me;
  FileResult result = op.Begin();
  // Still married: the divorce before could not delete the file and has said so.
  if (result == frDone && FileExists(GamePath(NpcFileName(character)))) return false;
  if (result == frDone) result = ReadCurrentMerged(me);
  if (result != frDone) return Refuse(op, result);
  std::string name = me.name.Get();
  me.married_to = -1;
  result = op.Write(editor_state.current_player, me);
  // Without the file the character is not married, so the notices must not say otherwise.
  if (result == frDone && !op.WriteCharacterFile(character, editor_state.current_player)) {
    editor_state.screen_notice =
        std::string("  `@") + NpcFileName(character) + " could not be written!  `%" + kNoMarriage;
    return false;
  }
  MailNpcWeddingNotice(op, editor_state.current_player, name, NpcName(character));
  NewsMarriage(op, name, NpcName(character));
  if (result == frDone) result = CommitShown(op);
  if (result != frDone) return Refuse(op, result);
  SetCurrentPlayerRecord(me);
  draw_screen();
  DoorPrintLn("  `#Marriage Info: `0" + name + "`% is now `$Married `%to `!" + NpcName(character) +
              "!");
  NpcSpouse(character) = editor_state.current_player;
  return true;
}

void CleanupNpcFile(int character) {
  std::string path = GamePath(NpcFileName(character));
  if (!FileExists(path)) return;
  if (editor_state.debug_mode)
    DoorPrintLn(std::string("  `#NPC Divorce Cleanup:  `%Manually deleted ") +
                NpcFileName(character) + " file.");
  DeleteCharacterFiles(OperationKind::kMarriage, {character});
}
