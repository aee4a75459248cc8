#include <gtest/gtest.h>

#include <functional>
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

const char kDayFights[] = "15\r3\r";  // forest fights, then player fights

// Appended rather than concatenated: mingw's g++ 12 warns falsely on literal + string at -O3.
std::string Numbered(const char* prefix, uint32_t n) {
  std::string text = prefix;
  text += std::to_string(n);
  return text;
}

// Player `n` of four, changed by `setup`, through a new day with the fight counts typed.
struct NewDayRun {
  TempGameDir game;
  PlayerRecord before;
  std::string output;

  NewDayRun(uint8_t n, const std::function<void(PlayerRecord&)>& setup) {
    std::vector<PlayerRecord> players;
    for (uint32_t i = 0; i < 4; ++i)
      players.push_back(MakePlayer(Numbered("P", i), Numbered("PLAYER ", i), 20 + i));
    setup(players[n]);
    before = players[n];
    game.WritePlayers(players);
    StartEditorOn(game, n);
    TypeKeys(kDayFights);
    OutputRecorder recorder;
    NewDayForPlayer();
    output = recorder.Bytes();
  }
  PlayerRecord OnDisk() const { return game.ReadPlayer(current_player); }
};

struct HitCase {
  int16_t level, hit_points, hit_max;
  int16_t hit_points_after, hit_max_after;
};

TEST(NewDayForPlayer, RestoresHitPoints) {
  const HitCase cases[] = {
      {4, 50, 0, 80, 80},    // a lost maximum comes back from the level
      {4, 0, 0, 80, 80},
      {3, -5, 60, 60, 60},
      {3, 10, -7, 60, 60},
      {3, 100, 60, 100, 100},  // more than the maximum is kept; the repair raises the maximum
  };
  for (const HitCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.level << " " << c.hit_points << " " << c.hit_max);
    NewDayRun run(1, [&](PlayerRecord& r) {
      r.level = c.level;
      r.hit_points = c.hit_points;
      r.hit_max = c.hit_max;
    });
    PlayerRecord r = run.OnDisk();
    EXPECT_EQ(+r.hit_points, c.hit_points_after);
    EXPECT_EQ(+r.hit_max, c.hit_max_after);
  }
}

TEST(NewDayForPlayer, StartsAFreshDay) {
  NewDayRun run(2, [](PlayerRecord& r) {
    r.seen_master = 5;
    r.seen_bard = 5;
    r.seen_quenna = 5;
    r.dead = 5;
    r.seen_dragon = 5;
    r.flirted = 5;
    r.inn = 5;
    r.on_now = 1;
    r.lays = -2;
  });
  PlayerRecord r = run.OnDisk();
  EXPECT_EQ(+r.forest_fights, 15);
  EXPECT_EQ(+r.player_fights, 3);
  EXPECT_EQ(r.seen_master + r.seen_bard + r.seen_quenna + r.dead + r.seen_dragon + r.flirted, 0);
  EXPECT_EQ(+r.inn, 5);  // not a daily flag
  EXPECT_EQ(+r.on_now, 0);
  EXPECT_EQ(+r.lays, 0);  // repaired
  EXPECT_NE(run.output.find("ZORVAN/32 Notice: Lays stat was negative. Reset to zero.\r\n"),
            std::string::npos);
  EXPECT_EQ(ReservedBytes(r), ReservedBytes(run.before));
  // Ends on the main screen of the same player.
  EXPECT_NE(ConsoleRowText(2).find("Account Number: 2"), std::string::npos);
}

TEST(NewDayForPlayer, LeavesOtherOnNowValues) {
  NewDayRun run(0, [](PlayerRecord& r) { r.on_now = 3; });
  EXPECT_EQ(+run.OnDisk().on_now, 3);
}

TEST(NewDayForPlayer, NegativeGemsGetTenWithAnAdvisoryAtRow24) {
  NewDayRun run(1, [](PlayerRecord& r) { r.gems = -2; });
  EXPECT_EQ(+run.OnDisk().gems, 10);
  EXPECT_NE(run.output.find(ESC + "[24;1fAdvisory: Reset negative Gems on Hand field to 10.\r\n"),
            std::string::npos);
  // Mended before the repair runs, so the repair has nothing to say about gems.
  EXPECT_EQ(run.output.find("Gems field"), std::string::npos);
}

TEST(NewDayForPlayer, CapsGoldBankAndExperienceSilently) {
  NewDayRun run(1, [](PlayerRecord& r) {
    r.gold = kTwoBillion + 1;
    r.bank = 2'147'483'647;
    r.experience = kTwoBillion + 5;
  });
  PlayerRecord r = run.OnDisk();
  EXPECT_EQ(+r.gold, kTwoBillion);
  EXPECT_EQ(+r.bank, kTwoBillion);
  EXPECT_EQ(+r.experience, kTwoBillion);
  EXPECT_EQ(run.output.find("2 Billion"), std::string::npos);
}

TEST(NewDayForPlayer, DeletesOnlyThePlayersNodeFiles) {
  TempGameDir game;
  std::vector<PlayerRecord> players;
  for (uint32_t i = 0; i < 4; ++i) players.push_back(MakePlayer(Numbered("P", i), "X", i));
  game.WritePlayers(players);
  for (const char* name : {"NodeOn.3", "Info.3", "DO3.BAT", "NodeOn.30", "Info.30", "DO30.BAT",
                           "NodeOn.2", "DO13.BAT"})
    game.WriteFile(name, "x");
  StartEditorOn(game, 3);
  TypeKeys(kDayFights);
  NewDayForPlayer();
  EXPECT_EQ(game.Names(), (std::vector<std::string>{"DO13.BAT", "DO30.BAT", "Info.30", "NodeOn.2",
                                                     "NodeOn.30", "PLAYER.DAT"}));
}

TEST(NewDayForPlayer, FindsNodeFilesWhateverTheirCase) {
  TempGameDir game;
  game.WritePlayers({MakePlayer("A", "A", 1), MakePlayer("B", "B", 2)});
  for (const char* name : {"nodeon.1", "INFO.1", "do1.bat"}) game.WriteFile(name, "x");
  StartEditorOn(game, 1);
  TypeKeys(kDayFights);
  NewDayForPlayer();
  EXPECT_EQ(game.Names(), std::vector<std::string>{"PLAYER.DAT"});
}

TEST(NewDayForPlayer, MissingNodeFilesAreNoTrouble) {
  NewDayRun run(3, [](PlayerRecord&) {});
  EXPECT_EQ(run.game.Names(), std::vector<std::string>{"PLAYER.DAT"});
  EXPECT_EQ(+run.OnDisk().forest_fights, 15);
}

}  // namespace
