// The operations on a player's statistics, each checked on disk: the new day and the "Clean Slate"
// reset.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "editor/new_day.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

using Names = std::vector<std::string>;

// Player 3 through a new day, forest fights 15 and player fights 3 typed. The node files of that
// player go, whatever their case. Gems are mended before the repair, which then has nothing to say,
// and advised before the questions; gold is capped silently.
TEST(NewDayForPlayer, StartsAFreshDay) {
  TempGameDir game;
  for (const char* name : {"NodeOn.3", "info.3", "DO3.BAT", "NodeOn.30", "Info.30", "DO13.BAT"})
    game.WriteFile(name, "x");
  PlayerRecord player = MakePlayer("Kelda", "KELDA SMITH", 21);
  player.seen_master = player.seen_quenna = player.seen_dragon = 5;
  player.seen_bard = player.dead = player.flirted = player.inn = player.on_now = 1;
  player.level = 4, player.hit_max = 0;  // a lost maximum comes back from the level
  player.lays = -2, player.gems = -2, player.gold = kTwoBillion + 1;
  StartEditorOn(game, {MakePlayer("A", "A"), MakePlayer("B", "B"), MakePlayer("C", "C"), player},
                3);
  TypeKeys("15\r3\r");
  OutputRecorder recorder;
  EXPECT_TRUE(NewDayForPlayer());  // the screen is drawn again, back on the player
  const std::string& output = recorder.Bytes();
  EXPECT_LT(output.find("Advisory: Reset negative Gems"), output.find("Enter Forest Fights"));
  PlayerRecord want = player;  // inn is not a daily flag
  want.seen_master = want.seen_quenna = want.seen_dragon = 0;
  want.seen_bard = want.dead = want.flirted = want.on_now = 0;
  want.forest_fights = 15, want.player_fights = 3, want.hit_points = want.hit_max = 80;
  want.lays = 0, want.gems = 10, want.gold = kTwoBillion;
  EXPECT_EQ(RecordBytes(game.ReadPlayer(3)), RecordBytes(want));
  EXPECT_EQ(game.Names(), (Names{"DO13.BAT", "Info.30", "NodeOn.30", "PLAYER.DAT"}));
  EXPECT_EQ(output.find("2 Billion"), std::string::npos);
}

// Every field a reset touches holds something else here (MakePlayer's values do for the others);
// married_to, sex and on_now are set too, to show that the reset leaves them alone.
PlayerRecord Cheater(uint8_t skill_class) {
  PlayerRecord r = MakePlayer("`4Grim", "GRIM GRIMSON", 21);
  r.player_fights = r.seen_master = r.seen_quenna = r.seen_dragon = r.horse = r.kids = 5;
  r.inn = r.dead = r.seen_bard = r.flirted = r.on_now = r.sex = 5;
  r.games_won = 2, r.married_to = 2, r.skill_class = skill_class;
  r.skill_dk = 40, r.skill_mystic = 5, r.skill_thief = 0;
  r.uses_dk = 7, r.uses_mystic = 8, r.uses_thief = 9;
  return r;
}

// Post-dragon keeps charm, family, skills and kills; entry level gives class 2 one use of its own
// skill (class 0 has none to give it to).
PlayerRecord Expected(PlayerRecord r, int type) {
  const bool entry = type == 1;
  r.hit_points = r.hit_max = 20, r.strength = 10, r.gold = 500, r.bank = 0;
  r.defense = r.level = r.weapon_num = r.armour_num = 1;
  r.weapon_name.Set("Stick"), r.armour_name.Set("Coat");
  r.inn = r.dead = r.seen_bard = r.seen_master = r.seen_quenna = r.seen_dragon = 0;
  r.experience = entry ? 1 : 10, r.forest_fights = entry ? 30 : 50;
  r.player_fights = entry ? 3 : 4, r.gems = entry ? 0 : 10;
  if (!entry) return r;
  r.charm = 1, r.lays = r.kids = r.games_won = r.kills = r.horse = r.flirted = 0;
  r.skill_dk = r.skill_mystic = r.skill_thief = 0;
  if (r.skill_class == 2) r.uses_dk = 0, r.uses_mystic = 1, r.uses_thief = 0;
  return r;
}

// type: -1 declined, 0 aborted, else the reset type (the selection's low byte). No reset goes out
// without its notices nor the notices without it; a busy PLAYER.DAT gets neither.
TEST(CleanSlate, TheKeysDecideTheResetWhichGoesOutOnlyWithItsNotices) {
  const Names all = {"LOGNOW.TXT", "MAIL1.DAT", "PLAYER.DAT"}, none = {"PLAYER.DAT"};
  const std::string aborted = "\"Clean Slate\" Changes aborted!";
  const struct {
    std::string keys;
    int type;
    Names names;
    std::string said = "";
    uint8_t skill_class = 2;
    std::string blocked = "";
  } cases[] = {
      {"y1\r", 1, all},  {"Y127\r", 2, all}, {"Y257\r", 1, all}, {"Y  2x\r", 2, all},
      {"Y200\r", 0, none, "Invalid response entered. Terminating process."},
      {"N", -1, none, aborted},
      {std::string("x7\0YN", 5), -1, none, aborted},  // an extended key with Y's scan code is no Y
      {"Y1\r", 1, all, "", 0},
      {"Y1\r", 1, none,
       "  PLAYER.DAT is busy!  Clean Slate not done: no reset, no mail or news.", 2, "PLAYER.DAT"},
      {"Y1\r", 1, {"MAIL1.DAT", "PLAYER.DAT"}, "", 2, "MAIL1.DAT"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    TempGameDir game;
    const PlayerRecord cheater = Cheater(c.skill_class);
    const bool busy = c.blocked == "PLAYER.DAT", halts = !c.blocked.empty() && !busy;
    if (halts) game.MakeDir(c.blocked);
    std::vector<PlayerRecord> players = {MakePlayer("Kelda", "KELDA SMITH", 11), cheater,
                                         MakePlayer("Bo", "BO", 13)};
    StartEditorOn(game, players, 1);
    OutputRecorder recorder;
    TypeKeys("#" + c.keys + "Q");
    OsFile node = HoldExclusively(GamePath("PLAYER.DAT"), busy);
    {
      FakeClock clock(0, 50);  // the wait for the node passes at once
      EXPECT_EQ(HaltCodeOf(MainLoop), halts ? kRunErrorExitCode : -1);
    }
    FileClose(node);  // a share-mode-0 hold keeps even our own reads out
    const bool reset = c.type > 0 && c.blocked.empty();
    if (reset) players[1] = Expected(cheater, c.type);
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), PlayersBytes(players));
    EXPECT_EQ(game.Names(), c.names);
    const std::string output = StripAnsi(recorder.Bytes());
    EXPECT_EQ(output.find("Grim has been punished!  Stats Reset Finished!") != std::string::npos,
              reset) << output;
    EXPECT_NE(output.find(c.said), std::string::npos) << output;
    EXPECT_TRUE(!busy || RecordBytes(editor_state.current_record) == RecordBytes(cheater))
        << "not kept";
    const std::string header =
        "  `%Attention: `$`4Grim:  {Clean Slate Message #" + std::to_string(c.type) + "]\r\n";
    EXPECT_EQ(game.ReadFile("MAIL1.DAT").rfind(header, 0) == 0, reset);
  }
}

}  // namespace
