#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "editor/editor_state.h"
#include "editor/extended.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/console.h"

namespace {

// An 80-column screen row with texts placed at 1-based columns.
std::string Row(std::vector<std::pair<int, std::string>> parts) {
  std::string row(kConsoleColumns, ' ');
  for (const auto& [column, text] : parts)
    row.replace(static_cast<size_t>(column - 1), text.size(), text);
  return row;
}

PlayerRecord ShownPlayer() {
  PlayerRecord r = MakePlayer("Kelda", "KELDA SMITH", 5);
  r.high_spirits = 0, r.kills = 12, r.horse = 1, r.games_won = 3, r.lays = 4, r.kids = 2;
  r.weird_event = 5, r.on_now = 1;
  r.skill_dk = 40, r.uses_dk = 10, r.skill_mystic = 7, r.uses_mystic = 8;
  r.skill_thief = 110, r.uses_thief = -3;
  return r;
}

// The screen as the sysop sees it once F is pressed: its number editors open their prompt area at
// row 20, and F's input marker has two blanks, not four.
TEST(ExtendedScreen, ShowsEveryFieldInItsPlace) {
  TempGameDir game;
  game.WriteFile("TIME.DAT", "7\r\n");
  StartEditorOn(game, {ShownPlayer()});
  TypeKeys("F");  // the script runs out at the answer: the run ends there with the screen as shown
  EXPECT_THROW(ExtendedEditor(), HaltSignal);
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
      Row({{1, " "}}),
      Row({{1, "  Enter Thief Skill Points (0-100). Old value: 110"}}),
      Row({{1, "  > "}}),
  };
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(ConsoleRowText(static_cast<int>(i + 1)), expected[i]) << "row " << i + 1;
  // Colour codes are rendered, not shown: brackets light green, the key yellow, yes/no light cyan.
  EXPECT_EQ(ConsoleCellAt(6, 3).attr, 10);
  EXPECT_EQ(ConsoleCellAt(7, 3).attr, 14);
  EXPECT_EQ(ConsoleCellAt(27, 3).attr, 11);
}

#define F PLAYER_FIELD

// Every key on disk: the field set to `from` on the shown player, the keys, then Q. A mark left in
// memory only shows that Q alone saves nothing.
TEST(ExtendedKeys, StoreTheirFieldOnDisk) {
  struct Case {
    const char* keys;
    FieldRef field;
    int32_t from, to;
  } cases[] = {
      {"270000\r", F(kills), 12, 32000}, {"4-5\r", F(games_won), 3, 0},
      {"512abc\r", F(lays), 4, 12}, {"6\x1b", F(kids), 2, 2}, {"B101\r", F(skill_dk), 40, 100},
      {"C-1\r", F(uses_dk), 10, 0}, {"D55\r", F(skill_mystic), 7, 55},
      {"Ex\r", F(uses_mystic), 8, 0}, {"F300\r", F(skill_thief), 110, 100},
      {"G100\r", F(uses_thief), -3, 100},
      {"1", F(high_spirits), 1, 0}, {"1", F(high_spirits), 7, 7},  // neither on nor off: left alone
      {"3", F(horse), 0, 1}, {"3", F(horse), 5, 1}, {"7", F(weird_event), 5, 0},
      {"7", F(weird_event), 1, 5}, {"8", F(on_now), 1, 0}, {"8", F(on_now), 3, 3},
      {"9", F(high_spirits), 1, 0}, {"9", F(high_spirits), 7, 7}, {"9", F(weird_event), 0, 5},
      {"99", F(high_spirits), 1, 1},
      {"A", F(lays), -4, 0}, {"A", F(uses_thief), -3, 27},  // 110 div 4, before the skill's cap
      {"*", F(uses_dk), 10, 11},                            // 40 div 4 + 1 for the class
      {"", F(time_on), 17, 17},
      {"6\x1b" "B5\x1b" "F\x1b", F(time_on), 17, 17},  // Esc saves nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(c.keys) << " from " << c.from);
    TempGameDir game;
    PlayerRecord player = ShownPlayer();
    WriteField(player, c.field, c.from);
    StartEditorOn(game, {player});
    current_record.time_on = 4242;
    TypeKeys(std::string(c.keys) + "Q");
    ExtendedEditor();
    PlayerRecord on_disk = game.ReadPlayer(0);
    EXPECT_EQ(ReadField(on_disk, c.field), c.to);
    EXPECT_EQ(ReservedBytes(on_disk), ReservedBytes(player));
  }
}

// One skill set on a player whose other skills and uses are 0 (and stay so).
TEST(SkillUsesUpdate, RaisesToTheEntitlementAndNeverLowers) {
  const FieldRef skills[] = {F(skill_dk), F(skill_mystic), F(skill_thief)};
  const FieldRef uses[] = {F(uses_dk), F(uses_mystic), F(uses_thief)};
  const int cases[][5] = {
      // class, skill (0 warrior, 1 mystic, 2 thief), skill points, uses, uses after
      {1, 0, 10, 2, 3},     // 10 div 4 plus the class bonus
      {1, 0, 10, 5, 5},     // never lowered
      {3, 2, -6, -3, 0},    // a damaged thief skill: -6 div 4 rounds toward zero
      {0, 0, 8, -56, 2},    // the uses compared as a signed byte
      {2, 1, 127, 0, 127},  // the mystic bonus on 127 would wrap: the byte's top is kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "class " << c[0] << " skill " << c[1] << " at " << c[2]);
    TempGameDir game;
    PlayerRecord player = ShownPlayer();
    player.skill_class = static_cast<uint8_t>(c[0]);
    for (int i = 0; i < 3; ++i) WriteField(player, skills[i], i == c[1] ? c[2] : 0);
    for (int i = 0; i < 3; ++i) WriteField(player, uses[i], i == c[1] ? c[3] : 0);
    StartEditorOn(game, {player});
    SkillUsesUpdate();
    WriteField(player, uses[c[1]], c[4]);
    EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), RecordBytes(player));
  }
}

#undef F

}  // namespace
