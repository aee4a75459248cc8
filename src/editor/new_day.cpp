#include "editor/new_day.h"

#include <string>
#include <vector>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/field_editors.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/repair.h"

namespace {

void RestoreHitPoints(PlayerRecord& r) {
  // A product beyond 16 bits wraps as the game's arithmetic does; the repair below then mends it.
  if (r.hit_max <= 0) r.hit_max = static_cast<int16_t>(r.level * 20);
  if (r.hit_points < r.hit_max) r.hit_points = r.hit_max;
  if (r.hit_points <= 0) r.hit_points = r.hit_max;
}

void MendGemsAndGold(PlayerRecord& r) {
  if (r.gems < 0) r.gems = 10;
  if (r.gold > kTwoBillion) r.gold = kTwoBillion;
  if (r.bank > kTwoBillion) r.bank = kTwoBillion;
  if (r.experience > kTwoBillion) r.experience = kTwoBillion;
}

void ClearDailyFlags(PlayerRecord& r) {
  r.seen_master = 0;
  r.seen_bard = 0;
  r.seen_quenna = 0;
  r.dead = 0;
  r.seen_dragon = 0;
  r.flirted = 0;
}

// The game's node files named after the record number: a player shown as on line, its drop file and
// its batch file. Exact-name matches only, so player 3 never takes NodeOn.30.
void DeleteNodeFiles() {
  const std::string n = std::to_string(editor_state.current_player);
  DeleteFileIfExists(GamePath("NodeOn." + n));
  DeleteFileIfExists(GamePath("Info." + n));
  DeleteFileIfExists(GamePath("DO" + n + ".BAT"));
}

}  // namespace

// One operation on the record as read under the hold, so that it is journaled (and undone) as one;
// the two questions come first, since nothing may wait for a key while PLAYER.DAT is held. The gems
// advisory comes before them, as the screen has always shown it, from the record as last read.
bool NewDayForPlayer() {
  if (editor_state.current_record.gems < 0) {
    DoorGotoXY(1, 24);
    DoorPrintColourLn("Advisory: Reset negative Gems on Hand field to 10.");
  }
  const std::optional<int32_t> forest = AskForestFights();
  const std::optional<int32_t> fights = AskPlayerFights();
  std::vector<const char*> lines;
  FileResult result = UpdateCurrentPlayer(OperationKind::kNewDay, [&](PlayerRecord& r) {
    RestoreHitPoints(r);
    MendGemsAndGold(r);
    if (forest) r.forest_fights = static_cast<int16_t>(*forest);
    if (fights) r.player_fights = static_cast<int16_t>(*fights);
    ClearDailyFlags(r);
    lines = ApplyRepairRules(r);
    if (r.on_now == 1) r.on_now = 0;
  });
  if (!ReportOperation(result, lines, "The new day was not run.")) return false;
  DeleteNodeFiles();
  return true;
}
