// Finding a player by a piece of either name, and deleting the current player the game's way: the
// record keeps its place and both names become "X".
#include "editor/search.h"

#include <cstdint>
#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/prompts.h"

namespace {

// current_player is a byte: records past this one could be found but never edited.
constexpr int32_t kLastReachableRecord = 255;

// The in-game name is compared as stored, codes and all; the real name on its visible letters.
bool NamesMatch(const PlayerRecord& record, const std::string& wanted) {
  if (wanted.empty()) return false;
  if (UpperStr(record.name.Get()).find(wanted) != std::string::npos) return true;
  return UpperStr(StripCodes(record.real_name.Get())).find(wanted) != std::string::npos;
}

bool AskYesNo() {
  bool yes = YesNo();
  DoorPrintColourLn(yes ? "`%Yes" : "`%No");
  return yes;
}

bool OfferMatch(const PlayerRecord& record) {
  DoorPrintColourLn("  Are you looking for:  " + record.name.Get() + " known as " +
                    record.real_name.Get() + "?");
  DoorWrite("  Enter Y or N as response. ");
  return AskYesNo();
}

}  // namespace

bool DeletePlayer() {
  DoorPrintColourLn("  `%Warning Brannock!  Player Deletion! ");
  DoorPrintColourLn("  `!Are you SURE you want to delete the player: " +
                    editor_state.current_record.name.Get());
  DoorPrintColour("  `!known as " + editor_state.current_record.real_name.Get() +
                  "?   Enter Y or N as response: ");
  if (!AskYesNo()) return false;
  // Only the length byte and the first character change: the rest of the record stays, so typing
  // the names again brings the player back.
  FileResult result = UpdateCurrentPlayer(OperationKind::kDeletion, [](PlayerRecord& record) {
    record.name.Set("X");
    record.real_name.Set("X");
  });
  if (result != frDone)
    editor_state.screen_notice =
        "  `@" + FileProblemText(result) + "  `%The player was not deleted.";
  return true;
}

bool SearchPlayer() {
  if (!FileExists(GamePath("PLAYER.DAT"))) return false;
  BlankLine();
  DoorPrintColourLn("  Player Search: Enter full or partial name.");
  DoorPrintColour("    `%> ");
  std::string answer = DoorInputLine();
  std::string wanted = UpperStr(answer);
  // The count is asked afresh at every step: the game's nodes may add players meanwhile.
  for (int32_t n = 0; n <= kLastReachableRecord; ++n) {
    int32_t count = 0;
    FileResult result = CountPlayers(count);
    if (result == frDone && n >= count) break;
    if (result == frDone) result = ReadPlayerRecord(n, editor_state.scratch_record);
    // A file that cannot be read is not one without a match: stop and say why.
    if (result != frDone) {
      editor_state.screen_notice = StayNotice(result);
      return false;
    }
    if (!NamesMatch(editor_state.scratch_record, wanted) ||
        !OfferMatch(editor_state.scratch_record))
      continue;
    if (!ReadyToLeaveCurrentPlayer()) return false;  // the save notice stays on the screen
    result = MoveToPlayer(static_cast<uint8_t>(n));
    if (result == frDone) return true;
    editor_state.screen_notice = StayNotice(result);  // shown by the main loop's redraw
    return false;
  }
  DoorPrintColourLn(" Search Error! No match found for " + answer + "!");
  return false;
}
