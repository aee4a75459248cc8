#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "editor/editor_state.h"
#include "editor/extended.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/console.h"

namespace {

// Fields of the packed record are compared by value (unary plus): a reference to one may be
// misaligned.

// An 80-column screen row with texts placed at 1-based columns.
std::string Row(std::vector<std::pair<int, std::string>> parts) {
  std::string row(kConsoleColumns, ' ');
  for (const auto& [column, text] : parts)
    row.replace(static_cast<size_t>(column - 1), text.size(), text);
  return row;
}

PlayerRecord ShownPlayer() {
  PlayerRecord r = MakePlayer("Kelda", "KELDA SMITH", 5);
  r.high_spirits = 0;
  r.kills = 12;
  r.horse = 1;
  r.games_won = 3;
  r.lays = 4;
  r.kids = 2;
  r.weird_event = 5;
  r.on_now = 1;
  r.time_on = 17;
  r.skill_dk = 40;
  r.uses_dk = 10;
  r.skill_mystic = 7;
  r.uses_mystic = 8;
  r.skill_thief = 110;
  r.uses_thief = -3;
  return r;
}

// Runs the extended screen with the keys. Keys that end in Q leave it; a script that runs out ends
// the run at the next wait for a key instead, leaving the screen as the sysop saw it then.
void RunExtended(const std::string& keys) {
  TypeKeys(keys);
  if (!keys.empty() && keys.back() == 'Q')
    ExtendedEditor();
  else
    EXPECT_THROW(ExtendedEditor(), HaltSignal);
}

TEST(ExtendedScreen, ShowsEveryFieldInItsPlace) {
  TempGameDir game;
  game.WritePlayers({ShownPlayer()});
  game.WriteFile("TIME.DAT", "7\r\n");
  StartEditorOn(game, 0);
  RunExtended("");

  const std::vector<std::string> expected = {
      Row({{12, "  ** EXTENDED INFO STATS EDITOR **  Zorvan/32 v0.67 Beta"}}),
      Row({}),
      Row({{6, "(1) High Spirits?  : Nope!"}, {40, "(2) # of Kills : 12"}}),
      Row({{6, "(3) Has a Horse?   : Yes! "}, {40, "(4) Games Won  : 3"}}),
      Row({{6, "(5) Times Laid     : 4"}, {40, "(6) # of Kids  : 2"}}),
      Row({{6, "(7) Weird Forest Event?: Yes! "}, {40, "(8) Is Player On Now?: Yes! "}}),
      Row({{6, "    Last Time On       : 17"}, {40, "    Last Resurrection: 7"}}),
      Row({{6, "(9) High Spirits/Weird Event toggle ON/OFF."}}),
      Row({{6, "(A) Fix negative/above-range values in player's VARN stats."}}),
      Row({}),
      Row({{6, "(B) Warrior Skills: 40"}, {40, "(C) Warrior Uses : 10"}}),
      Row({{6, "(D) Mystic Skills : 7"}, {40, "(E) Mystic Uses  : 8"}}),
      Row({{6, "(F) Thief Skills  : 110"}, {40, "(G) Thief Uses   : -3"}}),
      Row({{6, "(*) New Day for Player: Skill Uses update."}}),
      Row({{20, std::string(40, '*')}}),
      Row({}),
      Row({{23, "VARN Information for player: Kelda."}}),
      Row({{1, "    Input key to change, or Q to quit and save."}}),
      Row({{1, "    Your command, master?: "}}),
      Row({}),
  };
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(ConsoleRowText(static_cast<int>(i + 1)), expected[i]) << "row " << i + 1;

  // The colour codes are rendered, not shown: brackets light green, the key yellow, a yes/no
  // light cyan.
  EXPECT_EQ(ConsoleCellAt(6, 3).attr, 10);
  EXPECT_EQ(ConsoleCellAt(7, 3).attr, 14);
  EXPECT_EQ(ConsoleCellAt(27, 3).attr, 11);
}

TEST(ExtFieldText, YesNoRulesDifferByField) {
  TempGameDir game;
  game.WritePlayers({ShownPlayer()});
  StartEditorOn(game, 0);
  current_record.high_spirits = 7;
  current_record.horse = 5;
  current_record.weird_event = 1;
  current_record.on_now = 200;
  EXPECT_EQ(ExtFieldText('1'), "`!Yes! ");
  EXPECT_EQ(ExtFieldText('3'), "`!Nope!");
  EXPECT_EQ(ExtFieldText('7'), "`!Nope!");
  EXPECT_EQ(ExtFieldText('8'), "`!Yes! ");
  EXPECT_EQ(ExtFieldText('2'), "`!12");
  EXPECT_EQ(ExtFieldText('G'), "`#-3");
  EXPECT_EQ(ExtFieldText('Z'), "");
}

// The number editors open their prompt area at row 20; F's input marker has two blanks, not four.
TEST(ExtendedNumberEditor, PromptAtRow20WithItsMarker) {
  for (auto [key, prompt, marker] :
       {std::tuple{"F", "  Enter Thief Skill Points (0-100). Old value: 110", "  > "},
        std::tuple{"G", "  Enter Thief Skill Use Points (0-100). Old value: -3", "    > "},
        std::tuple{"2", "  Enter Player Kills (0-32,000 range). Old value: 12", "    > "}}) {
    SCOPED_TRACE(key);
    TempGameDir game;
    game.WritePlayers({ShownPlayer()});
    StartEditorOn(game, 0);
    RunExtended(key);
    EXPECT_EQ(ConsoleRowText(20), Row({{1, " "}}));
    EXPECT_EQ(ConsoleRowText(21), Row({{1, prompt}}));
    std::string m = marker;
    EXPECT_EQ(ConsoleTextAt(1, 22, static_cast<int>(m.size())), m);
  }
}

struct NumberCase {
  const char* keys;
  std::function<int32_t(const PlayerRecord&)> field;
  int32_t stored;
};

TEST(ExtendedNumberEditor, AnswersAreClampedAndSaved) {
  const NumberCase cases[] = {
      {"270000\r", [](const PlayerRecord& r) { return r.kills; }, 32000},
      {"4-5\r", [](const PlayerRecord& r) { return r.games_won; }, 0},
      {"512abc\r", [](const PlayerRecord& r) { return r.lays; }, 12},
      {"6\x1b", [](const PlayerRecord& r) { return r.kids; }, 0},
      {"6999\r", [](const PlayerRecord& r) { return r.kids; }, 999},
      {"B101\r", [](const PlayerRecord& r) { return r.skill_dk; }, 100},
      {"C-1\r", [](const PlayerRecord& r) { return r.uses_dk; }, 0},
      {"D55\r", [](const PlayerRecord& r) { return r.skill_mystic; }, 55},
      {"Ex\r", [](const PlayerRecord& r) { return r.uses_mystic; }, 0},
      {"F300\r", [](const PlayerRecord& r) { return r.skill_thief; }, 100},
      {"G100\r", [](const PlayerRecord& r) { return r.uses_thief; }, 100},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.keys);
    TempGameDir game;
    PlayerRecord player = ShownPlayer();
    game.WritePlayers({player});
    StartEditorOn(game, 0);
    RunExtended(std::string(c.keys) + "Q");
    PlayerRecord on_disk = game.ReadPlayer(0);
    EXPECT_EQ(c.field(on_disk), c.stored);
    EXPECT_EQ(ReservedBytes(on_disk), ReservedBytes(player));
  }
}

struct ToggleCase {
  const char* keys;
  uint8_t high_spirits, horse, weird_event, on_now;  // before
  uint8_t high_spirits_after, horse_after, weird_event_after, on_now_after;
};

TEST(ExtendedToggles, FlipOrLeaveValuesOnDisk) {
  const ToggleCase cases[] = {
      {"1", 1, 0, 0, 0, 0, 0, 0, 0},
      {"1", 0, 0, 0, 0, 1, 0, 0, 0},
      {"1", 7, 0, 0, 0, 7, 0, 0, 0},  // neither on nor off: left alone
      {"3", 0, 1, 0, 0, 0, 0, 0, 0},
      {"3", 0, 0, 0, 0, 0, 1, 0, 0},
      {"3", 0, 5, 0, 0, 0, 1, 0, 0},
      {"7", 0, 0, 5, 0, 0, 0, 0, 0},
      {"7", 0, 0, 0, 0, 0, 0, 5, 0},
      {"7", 0, 0, 1, 0, 0, 0, 5, 0},
      {"8", 0, 0, 0, 1, 0, 0, 0, 0},
      {"8", 0, 0, 0, 0, 0, 0, 0, 1},
      {"8", 0, 0, 0, 3, 0, 0, 0, 3},  // left alone
      {"9", 1, 0, 0, 0, 0, 0, 5, 0},
      {"9", 7, 0, 5, 0, 7, 0, 0, 0},
      {"99", 1, 0, 0, 0, 1, 0, 0, 0},
  };
  for (const ToggleCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.keys << " " << int{c.high_spirits} << int{c.horse}
                                      << int{c.weird_event} << int{c.on_now});
    TempGameDir game;
    PlayerRecord player = ShownPlayer();
    player.high_spirits = c.high_spirits;
    player.horse = c.horse;
    player.weird_event = c.weird_event;
    player.on_now = c.on_now;
    game.WritePlayers({player});
    StartEditorOn(game, 0);
    RunExtended(std::string(c.keys) + "Q");
    PlayerRecord r = game.ReadPlayer(0);
    EXPECT_EQ(+r.high_spirits, c.high_spirits_after);
    EXPECT_EQ(+r.horse, c.horse_after);
    EXPECT_EQ(+r.weird_event, c.weird_event_after);
    EXPECT_EQ(+r.on_now, c.on_now_after);
  }
}

TEST(ExtendedKeys, ARepairsTheRecordOnDisk) {
  TempGameDir game;
  PlayerRecord player = ShownPlayer();
  player.lays = -4;
  player.uses_thief = -3;
  game.WritePlayers({player});
  StartEditorOn(game, 0);
  RunExtended("AQ");
  PlayerRecord r = game.ReadPlayer(0);
  EXPECT_EQ(+r.lays, 0);
  EXPECT_EQ(+r.uses_thief, 27);  // 110 div 4, before the skill is capped
  EXPECT_EQ(+r.skill_thief, 100);
}

TEST(ExtendedKeys, StarTopsUpSkillUses) {
  TempGameDir game;
  PlayerRecord player = ShownPlayer();
  player.skill_class = 1;  // 40 div 4 + 1 = 11 over 10 uses
  game.WritePlayers({player});
  StartEditorOn(game, 0);
  RunExtended("*Q");
  EXPECT_EQ(+game.ReadPlayer(0).uses_dk, 11);
}

TEST(ExtendedKeys, QuitWritesNothing) {
  TempGameDir game;
  game.WritePlayers({ShownPlayer()});
  std::string before = game.ReadFile("PLAYER.DAT");
  StartEditorOn(game, 0);
  current_record.kills = 99;  // only a save could carry this to disk
  RunExtended("Q");
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
}

struct SkillCase {
  const char* name;
  uint8_t skill_class;
  int8_t dk, uses_dk, mystic, uses_mystic, thief, uses_thief;  // before
  int8_t uses_dk_after, uses_mystic_after, uses_thief_after;
};

TEST(SkillUsesUpdate, RaisesToTheEntitlementAndNeverLowers) {
  const SkillCase cases[] = {
      {"dk with class bonus", 1, 10, 2, 0, 0, 0, 0, 3, 0, 0},
      {"dk already above", 1, 10, 5, 0, 0, 0, 0, 5, 0, 0},
      {"mystic without bonus", 1, 0, 0, 7, 0, 0, 0, 1, 7, 0},
      {"mystic with bonus", 2, 0, 0, 7, 0, 0, 0, 0, 8, 0},
      {"damaged thief skill", 3, 0, 0, 0, 0, -6, -3, 0, 0, 0},
      {"damaged thief skill not lowered", 3, 0, 0, 0, 0, -6, 0, 0, 0, 0},
      {"negative uses compared signed", 0, 8, -56, 0, 0, 0, 0, 2, 0, 0},
      {"thief with bonus", 3, 0, 0, 0, 0, 41, 1, 0, 0, 11},
      {"class outside the three", 4, 8, 0, 3, 0, 8, 0, 2, 3, 2},
      // The whole byte: a mystic at 127 in its class stays at 127 rather than wrapping negative.
      {"mystic at the byte's top", 2, 0, 0, 127, 0, 0, 0, 0, 127, 0},
  };
  for (const SkillCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempGameDir game;
    PlayerRecord player = ShownPlayer();
    player.skill_class = c.skill_class;
    player.skill_dk = c.dk;
    player.uses_dk = c.uses_dk;
    player.skill_mystic = c.mystic;
    player.uses_mystic = c.uses_mystic;
    player.skill_thief = c.thief;
    player.uses_thief = c.uses_thief;
    game.WritePlayers({player});
    StartEditorOn(game, 0);
    SkillUsesUpdate();
    PlayerRecord r = game.ReadPlayer(0);
    EXPECT_EQ(+r.uses_dk, c.uses_dk_after);
    EXPECT_EQ(+r.uses_mystic, c.uses_mystic_after);
    EXPECT_EQ(+r.uses_thief, c.uses_thief_after);
    EXPECT_EQ(ReservedBytes(r), ReservedBytes(player));
  }
}

}  // namespace
