#include "editor/divorce.h"

#include <string>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/prompts.h"

namespace {

const char* const kDivorceNotDone = "The divorce was not made: nothing was changed.";

void HalveCharmOf(PlayerRecord& record) { record.charm = HalveCharm(record.charm); }

void LeaveMarriage(PlayerRecord& record) {
  HalveCharmOf(record);
  record.married_to = -1;
}

// Player a (first, already read) from player b. b's side goes only while b is still married to a:
// a link to a record that does not exist, or to someone married to another by now, just goes, with
// no news or mail naming anyone else.
FileResult Separate(GameOperation& op, int32_t a, PlayerRecord& first, int32_t b,
                     PlayerRecord& second) {
  FileResult read = op.Read(b, second);
  if (read != frDone && read != frOutside) return read;
  LeaveMarriage(first);
  FileResult result = op.Write(a, first);
  if (read != frDone || second.married_to != a || result != frDone) return result;
  LeaveMarriage(second);
  NewsDivorce(op, first.name.Get(), second.name.Get());
  MailDivorceNotice(op, a, first.name.Get(), b, second.name.Get());
  return op.Write(b, second);
}

bool Finish(GameOperation& op, FileResult result) {
  if (result == frDone) result = CommitShown(op);
  if (result == frDone) return true;
  editor_state.screen_notice = NotDoneNotice(op, result, kDivorceNotDone);
  return false;
}

// Kind 1: the current player from player b.
bool DivorceCurrentFromPlayer(int32_t a, int32_t b) {
  GameOperation op(OperationKind::kDivorce);
  PlayerRecord me;
  FileResult result = op.Begin();
  if (result == frDone) result = ReadCurrentMerged(me);
  if (result == frDone)
    result = Separate(op, a, me, b, editor_state.work_records[wkSpouseOfCurrent]);
  if (!Finish(op, result)) return false;
  SetCurrentPlayerRecord(me);
  return true;
}

// Kinds 2, 5 and 6: two players, neither of them the current one.
bool DivorceOthers(int32_t a, int32_t b) {
  GameOperation op(OperationKind::kDivorce);
  PlayerRecord& first = editor_state.work_records[wkFirstOfOthers];
  FileResult result = op.Begin();
  if (result == frDone) result = op.Read(a, first);
  if (result == frDone)
    result = Separate(op, a, first, b, editor_state.work_records[wkSecondOfOthers]);
  return Finish(op, result);
}

// Kinds 3 and 4: the character's file goes; the mail reaches the player only.
bool DivorceFromCharacter(int32_t a, int32_t b, bool current, int character) {
  GameOperation op(OperationKind::kDivorce);
  PlayerRecord player;
  FileResult result = op.Begin();
  if (result == frDone) result = current ? ReadCurrentMerged(player) : op.Read(a, player);
  if (result == frDone) {
    LeaveMarriage(player);
    result = op.Write(a, player);
  }
  if (result == frDone && !op.WriteCharacterFile(character, -1)) {
    editor_state.screen_notice = "  `#NPC Divorce Failure:  `%Failed to erase NPC file!";
    return false;
  }
  NewsDivorce(op, player.name.Get(), NpcName(character));
  MailDivorceNotice(op, a, player.name.Get(), b, NpcName(character));
  if (!Finish(op, result)) return false;
  if (current)
    SetCurrentPlayerRecord(player);
  else
    editor_state.work_records[wkLeavingCharacter] = player;
  return true;
}

}  // namespace

int16_t HalveCharm(int16_t charm) { return static_cast<int16_t>(charm / 2); }

bool ExecuteDivorce(int32_t a, int32_t b, DivorceKind kind, int character) {
  switch (kind) {
    case dkCurrentFromPlayer: return DivorceCurrentFromPlayer(a, b);
    case dkOthers:
    case dkOthersAgain:
    case dkOthersOnceMore: {
      bool done = DivorceOthers(a, b);
      return (!editor_state.save_pending || SaveCurrentPlayer()) && done;
    }
    case dkCurrentFromCharacter:
    case dkOtherFromCharacter:
      if (character == npcQuenna || character == npcDask)
        return DivorceFromCharacter(a, b, kind == dkCurrentFromCharacter, character);
      return false;
    default: return false;
  }
}

bool ConfirmPlayerDivorce(int32_t a, int32_t b, DrawScreen draw_screen) {
  LoadWorkRecord(b, wkSpouseOfCurrent);
  DoorPrintLn("  `!Okay to divorce `0" + editor_state.current_record.name.Get() + " `!from `#" +
              SpouseNameText(b, wkSpouseOfCurrent) + " `!now? ");
  DoorPrintCodedLn("  `#Divorce Players Now?  `%Enter Y or N as response: ");
  bool yes = YesNo();
  DoorPrintLn(yes ? "`%Yes" : "`%No");
  if (!yes) {
    DoorPrintLn("  `#Divorce Update Info:  `%Changes aborted");
    return false;
  }
  if (!ExecuteDivorce(a, b, dkCurrentFromPlayer, npcNone)) return false;
  DoorPrintLn("  `#Divorce Status Info:  `%Orvin has left the building!  Divorce Finalized!");
  DoorPrintLn("  `!Player/Spouse Charm Change:  `%Charm points dropped by 50% for Player and former "
              "Spouse.");
  draw_screen();
  return true;
}

bool DivorceFromNpc(int32_t player, DivorceWho who, int character, DrawScreen draw_screen) {
  std::string file = NpcFileName(character);
  DivorceKind kind = who == dwCurrent ? dkCurrentFromCharacter : dkOtherFromCharacter;
  if (!ExecuteDivorce(player, 0, kind, character)) return false;
  DoorPrintLn("  `#NPC Divorce Status Info:  `%Orvin has left the building!  Divorce Finalized!");
  const PlayerRecord& leaving = who == dwCurrent ? editor_state.current_record
                                                 : editor_state.work_records[wkLeavingCharacter];
  std::string name = leaving.name.Get();
  DoorPrintLn("  `!Player Charm Change:  `%Charm points of " + name + " dropped by 50%.");
  bool left = FileExists(GamePath(file));
  if (left) DoorPrintLn("  `#NPC Divorce Failure:  `%Failed to erase NPC file!");
  draw_screen();
  if (!left) DoorPrintLn("  `#NPC Divorce Info: `%" + file + " file has been deleted.");
  return true;
}
