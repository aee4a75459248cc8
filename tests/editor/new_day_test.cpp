#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/extended.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/console.h"

namespace {

// Fields of the packed record are compared by value (unary plus): a reference to one may be
// misaligned.

// Player n of n + 1 through a new day, forest fights 15 and player fights 3 typed; the output.
std::string RunNewDay(TempGameDir& game, uint8_t n, PlayerRecord& player) {
  std::vector<PlayerRecord> players(n, MakePlayer("Other", "OTHER", 2));
  players.push_back(player);
  StartEditorOn(game, players, n);
  TypeKeys("15\r3\r");
  OutputRecorder recorder;
  NewDayForPlayer();
  return recorder.Bytes();
}

TEST(NewDayForPlayer, StartsAFreshDay) {
  TempGameDir game;
  PlayerRecord player = MakePlayer("Kelda", "KELDA SMITH", 21);
  player.seen_master = player.seen_quenna = player.seen_dragon = 5;
  player.seen_bard = player.dead = player.flirted = player.inn = player.on_now = 1;
  player.level = 4, player.hit_max = 0;  // a lost maximum comes back from the level
  player.lays = -2, player.gems = -2, player.gold = kTwoBillion + 1;
  std::string output = RunNewDay(game, 2, player);
  PlayerRecord want = player;  // inn is not a daily flag
  want.seen_master = want.seen_quenna = want.seen_dragon = 0;
  want.seen_bard = want.dead = want.flirted = want.on_now = 0;
  want.forest_fights = 15, want.player_fights = 3, want.hit_points = want.hit_max = 80;
  want.lays = 0, want.gems = 10, want.gold = kTwoBillion;
  EXPECT_EQ(RecordBytes(game.ReadPlayer(2)), RecordBytes(want));
  // Gems are mended before the repair, which then has nothing to say; gold is capped silently.
  EXPECT_EQ(output.find("Gems field"), std::string::npos);
  EXPECT_EQ(output.find("2 Billion"), std::string::npos);
  EXPECT_NE(output.find(ESC + "[24;1fAdvisory: Reset negative Gems on Hand field to 10.\r\n"),
            std::string::npos);
  EXPECT_NE(output.find("ZORVAN/32 Notice: Lays stat was negative. Reset to zero.\r\n"),
            std::string::npos);
  EXPECT_NE(ConsoleRowText(2).find("Account Number: 2"), std::string::npos);  // back on the player
}

// on_now other than 1 is left alone; the node files go whatever their case.
TEST(NewDayForPlayer, DeletesOnlyThePlayersNodeFiles) {
  TempGameDir game;
  for (const char* name : {"NodeOn.3", "Info.3", "DO3.BAT", "NodeOn.30", "Info.30", "DO13.BAT"})
    game.WriteFile(name, "x");
  PlayerRecord player = MakePlayer("Kelda", "KELDA SMITH", 23);
  player.on_now = 3;
  RunNewDay(game, 3, player);
  EXPECT_EQ(+game.ReadPlayer(3).on_now, 3);
  const std::vector<std::string> kept = {"DO13.BAT", "Info.30", "NodeOn.30", "PLAYER.DAT"};
  EXPECT_EQ(game.Names(), kept);
  for (const char* name : {"nodeon.1", "INFO.1", "do1.bat"}) game.WriteFile(name, "x");
  RunNewDay(game, 1, player);
  EXPECT_EQ(game.Names(), kept);
}

}  // namespace
