// Divorces: of two players, or of a player from a character. Each halves both partners' charm,
// then writes the news, then the mail, then the records, so that the players learn of it even when
// a record write is refused.
#include <string>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/main_screen.h"
#include "editor/npc_marriage.h"
#include "editor/player_file.h"
#include "editor/startup.h"

namespace {

// Work records by role, kept apart so that one divorce inside a marriage change never overwrites
// a player another step still holds.
constexpr int kSpouseOfCurrent = 1;
constexpr int kLeavingCharacter = 2;
constexpr int kFirstOfOthers = 5;
constexpr int kSecondOfOthers = 6;

void HalveCharmOf(PlayerRecord& record) { record.charm = HalveCharm(record.charm); }

// Both players' part of a divorce before the saves: charm halved, the news and the mail, and both
// left unmarried.
void SeparatePlayers(int32_t a, PlayerRecord& first, int32_t b, PlayerRecord& second) {
  HalveCharmOf(first);
  HalveCharmOf(second);
  NewsDivorce(first.name.Get(), second.name.Get());
  MailDivorceNotice(a, first.name.Get(), b, second.name.Get());
  first.married_to = -1;
  second.married_to = -1;
}

// Kind 1: the current player from player b.
void DivorceCurrentFromPlayer(int32_t a, int32_t b) {
  LoadWorkRecord(b, kSpouseOfCurrent);
  SeparatePlayers(a, current_record, b, work_records[kSpouseOfCurrent]);
  SaveWorkRecord(b, kSpouseOfCurrent);
  SaveCurrentPlayer();
}

// Kinds 2, 5 and 6: two players, neither of them the current one.
void DivorceOthers(int32_t a, int32_t b) {
  LoadWorkRecord(a, kFirstOfOthers);
  LoadWorkRecord(b, kSecondOfOthers);
  SeparatePlayers(a, work_records[kFirstOfOthers], b, work_records[kSecondOfOthers]);
  SaveWorkRecord(a, kFirstOfOthers);
  SaveWorkRecord(b, kSecondOfOthers);
  SaveCurrentPlayer();
}

// Kinds 3 and 4: the character's file goes; the mail reaches the player only.
void DivorceFromCharacter(int32_t a, int32_t b, bool current, int character) {
  PlayerRecord& player = current ? current_record : work_records[kLeavingCharacter];
  if (!current) LoadWorkRecord(a, kLeavingCharacter);
  HalveCharmOf(player);
  DeleteFileIfExists(GamePath(NpcFileName(character)));
  NewsDivorce(player.name.Get(), NpcName(character));
  MailDivorceNotice(a, player.name.Get(), b, NpcName(character));
  player.married_to = -1;
  if (!current) SaveWorkRecord(a, kLeavingCharacter);
  SaveCurrentPlayer();
}

}  // namespace

int16_t HalveCharm(int16_t charm) { return static_cast<int16_t>(charm / 2); }

void ExecuteDivorce(int32_t a, int32_t b, int kind, int character) {
  switch (kind) {
    case 1: DivorceCurrentFromPlayer(a, b); break;
    case 2:
    case 5:
    case 6: DivorceOthers(a, b); break;
    case 3:
    case 4:
      if (character == npcQuenna || character == npcDask)
        DivorceFromCharacter(a, b, kind == 3, character);
      break;
    default: break;
  }
}

bool ConfirmPlayerDivorce(int32_t a, int32_t b) {
  LoadWorkRecord(b, kSpouseOfCurrent);
  DoorPrintLn("  `!Okay to divorce `0" + current_record.name.Get() + " `!from `#" +
              work_records[kSpouseOfCurrent].name.Get() + " `!now? ");
  DoorPrintCodedLn("  `#Divorce Players Now?  `%Enter Y or N as response: ");
  bool yes = YesNo();
  DoorPrintLn(yes ? "`%Yes" : "`%No");
  if (!yes) {
    DoorPrintLn("  `#Divorce Update Info:  `%Changes aborted");
    return false;
  }
  ExecuteDivorce(a, b, 1, npcNone);
  DoorPrintLn("  `#Divorce Status Info:  `%Orvin has left the building!  Divorce Finalized!");
  DoorPrintLn("  `!Player/Spouse Charm Change:  `%Charm points dropped by 50% for Player and former "
              "Spouse.");
  DrawMainScreen();
  return true;
}

void DivorceFromNpc(int32_t player, int who, int character) {
  std::string file = NpcFileName(character);
  ExecuteDivorce(player, 0, who == 1 ? 3 : 4, character);
  DoorPrintLn("  `#NPC Divorce Status Info:  `%Orvin has left the building!  Divorce Finalized!");
  std::string name = (who == 1 ? current_record : work_records[kLeavingCharacter]).name.Get();
  DoorPrintLn("  `!Player Charm Change:  `%Charm points of " + name + " dropped by 50%.");
  // The divorce deleted the file once already; a node may have held it.
  DeleteFileIfExists(GamePath(file));
  bool left = FileExists(GamePath(file));
  if (left) DoorPrintLn("  `#NPC Divorce Failure:  `%Failed to erase NPC file!");
  DrawMainScreen();
  if (!left) DoorPrintLn("  `#NPC Divorce Info: `%" + file + " file has been deleted.");
}
