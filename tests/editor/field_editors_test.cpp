// The main screen's field editors, driven through the real key path: the main loop reads the key,
// the editor reads its answer, and the record is checked on disk.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_state.h"
#include "editor/field_editors.h"
#include "editor/main_screen.h"
#include "editor/player_record.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"

namespace {

const std::string kEsc = "\x1b";

class FieldEditorTest : public ::testing::Test {
 protected:
  TempGameDir game;
  PlayerRecord before = MakePlayer("Kelda", "KELLY RIVERS", 7);
  PlayerRecord neighbour = MakePlayer("Gorm", "ELDON SMITH", 8);

  // The editor on player 0 of two, the keys and then Q through the main loop; player 0 as on disk.
  PlayerRecord RunKeys(const std::string& keys) {
    game.WritePlayers({before, neighbour});
    StartEditorOn(game, 0);
    TypeKeys(keys + "Q");
    MainLoop();
    EXPECT_EQ(RecordBytes(game.ReadPlayer(1)), RecordBytes(neighbour)) << "player 1 changed";
    return game.ReadPlayer(0);
  }

  // The editor on player 0, the main screen drawn, then one editor run on its own with the answer.
  void RunOneEditor(char key, const std::string& answer) {
    game.WritePlayers({before, neighbour});
    StartEditorOn(game, 0);
    DrawMainScreen();
    TypeKeys(answer);
    EXPECT_TRUE(RunFieldEditor(key));
  }
};

struct ClampCase {
  char key;
  std::string answer;  // as typed, Enter or Esc included
  FieldRef field;
  int32_t stored;
};

#define F PLAYER_FIELD

TEST_F(FieldEditorTest, NumberEditorsClampTheWholeAnswerBeforeStoringIt) {
  const ClampCase cases[] = {
      {'2', "0\r", F(level), 1},
      {'2', "13\r", F(level), 12},
      {'2', "7abc\r", F(level), 7},
      {'2', "abc\r", F(level), 1},
      {'2', kEsc, F(level), 1},
      {'2', "12\r", F(level), 12},
      {'4', "-5\r", F(hit_points), 0},
      {'4', "32001\r", F(hit_points), 32000},
      {'4', "70000\r", F(hit_points), 32000},
      {'4', "0\r", F(hit_points), 0},
      {'5', "123456\r", F(experience), 123456},
      {'5', "-1\r", F(experience), 0},
      {'6', "0\r", F(hit_max), 1},
      {'6', "65537\r", F(hit_max), 32000},  // would be 1 if cut to 16 bits before the clamp
      {'8', "17\r", F(weapon_num), 17},
      {'8', "25\r", F(weapon_num), 20},
      {'8', "0\r", F(weapon_num), 1},
      {'9', "0\r", F(forest_fights), 1},
      {'9', "-3\r", F(forest_fights), 1},
      {'9', "250\r", F(forest_fights), 250},
      {'0', "0\r", F(player_fights), 0},
      {'0', "-3\r", F(player_fights), 1},
      {'0', kEsc, F(player_fights), 0},
      {'0', "7\r", F(player_fights), 7},
      {'C', "0\r", F(strength), 1},
      {'C', "40000\r", F(strength), 32000},
      {'E', "-1\r", F(defense), 1},
      {'E', "321\r", F(defense), 321},
      {'G', "0\r", F(charm), 1},
      {'I', "99999\r", F(gems), 32000},
      {'I', "0\r", F(gems), 1},
      {'L', "17\r", F(armour_num), 15},
      {'L', "15\r", F(armour_num), 15},
      {'M', "2000000001\r", F(gold), kTwoBillion},
      {'M', "2147483648\r", F(gold), kTwoBillion},
      {'M', "4294967297\r", F(gold), kTwoBillion},  // would be 1 if cut to 32 bits
      {'M', kEsc, F(gold), 0},
      {'O', "-7\r", F(bank), 0},
      {'O', "1999999999\r", F(bank), 1999999999},
  };
  for (const ClampCase& c : cases) {
    SCOPED_TRACE(std::string("key ") + c.key + " answer " + c.answer);
    PlayerRecord expected = before;
    WriteField(expected, c.field, c.stored);
    EXPECT_EQ(RecordBytes(RunKeys(c.key + c.answer)), RecordBytes(expected));
  }
}

#undef F

TEST_F(FieldEditorTest, NumberPromptShowsTheOldValueInTheFieldsFormat) {
  before.player_fights = 1234;
  before.forest_fights = 1234;
  before.gold = 1234567;
  struct Case {
    char key;
    std::string prompt;
  } cases[] = {
      {'2', "  Enter Game Level (1-12 range). Old value: 3"},
      {'9', "  Enter Forest Fights Left (0-32,000 range).  Old value: 1234"},
      {'0', "  Enter Player Fights Left (0-32,000 range).  Old value: 1,234"},
      {'M', "  Enter Gold in Hand (0-Two Billion).  Old value: 1,234,567"},
      {'8', "  Enter Weapon Number (0-15 range). Old value: 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("key ") + c.key);
    RunOneEditor(c.key, "5\r");
    EXPECT_EQ(ScreenRow(23), c.prompt);
    EXPECT_EQ(ScreenRow(24), "    > 5");
  }
}

// The fight editors open their prompt area at row 22 with an empty line, the others at row 24 with
// a blank line, which scrolls the screen by two rows before the answer is in.
TEST_F(FieldEditorTest, PromptAreaRowDependsOnTheEditor) {
  RunOneEditor('9', "5\r");
  EXPECT_EQ(FindScreenRow("Input key to change"), 21);
  EXPECT_NE(FindScreenRow("VarnEdit/32"), 0);

  RunOneEditor('C', "5\r");
  EXPECT_EQ(FindScreenRow("Input key to change"), 19);
  EXPECT_EQ(FindScreenRow("VarnEdit/32"), 0);
  EXPECT_EQ(ScreenRow(23), "  Enter Strength Points (0-32,000 range).  Old value: 30");
}

TEST_F(FieldEditorTest, FightEditorsRunOnTheirOwn) {
  game.WritePlayers({before, neighbour});
  StartEditorOn(game, 0);
  TypeKeys("0\r-3\r");
  EditForestFights();
  EditPlayerFights();
  PlayerRecord expected = before;
  expected.forest_fights = 1;
  expected.player_fights = 1;
  EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), RecordBytes(expected));
}

struct TextCase {
  char key;
  std::string typed;
  void (*set)(PlayerRecord&, std::string_view);
  std::string stored;
};

void SetRealName(PlayerRecord& r, std::string_view t) { r.real_name.Set(t); }
void SetName(PlayerRecord& r, std::string_view t) { r.name.Set(t); }
void SetWeapon(PlayerRecord& r, std::string_view t) { r.weapon_name.Set(t); }
void SetArmour(PlayerRecord& r, std::string_view t) { r.armour_name.Set(t); }

TEST_F(FieldEditorTest, TextEditorsStoreTheAnswer) {
  const TextCase cases[] = {
      {'1', "jon `4doe\r", SetRealName, "JON `4DOE"},
      {'1', kEsc, SetRealName, ""},
      {'1', "abcdefghijklmnopqrstu\r", SetRealName, "ABCDEFGHIJKLMNOPQRST"},
      {'3', "kelda `2the bold\r", SetName, "kelda `2the bold"},
      {'3', "abcdefghijklmnopqrstu\r", SetName, "abcdefghijklmnopqrst"},
      {'3', kEsc, SetName, ""},
      {'7', "big axe\r", SetWeapon, "big axe"},
      {'K', "Chain Mail\r", SetArmour, "Chain Mail"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(std::string("key ") + c.key + " typed " + c.typed);
    PlayerRecord expected = before;
    c.set(expected, c.stored);
    EXPECT_EQ(RecordBytes(RunKeys(c.key + c.typed)), RecordBytes(expected));
  }
}

TEST_F(FieldEditorTest, TextPromptsOpenBelowTheMainScreen) {
  RunOneEditor('3', "Zed\r");
  EXPECT_EQ(ScreenRow(22), "");
  EXPECT_EQ(ScreenRow(23), "  Enter VARN Name for player. Old value: Kelda");
  EXPECT_EQ(ScreenRow(24), "    > Zed");

  RunOneEditor('1', "zed\r");
  EXPECT_EQ(ScreenRow(23), "  Enter the REAL name for player.");

  RunOneEditor('7', "Club\r");
  EXPECT_EQ(ScreenRow(23), "  Enter new Weapon Name. Old Value: Short Sword");
}

struct FlagCase {
  char key;
  FieldRef field;
  int32_t from;
  int32_t to;
};

TEST_F(FieldEditorTest, TogglesFlipTheirFlag) {
#define F PLAYER_FIELD
  const FlagCase cases[] = {
      {'A', F(skill_class), 1, 2}, {'A', F(skill_class), 2, 3},   {'A', F(skill_class), 3, 1},
      {'A', F(skill_class), 0, 0}, {'A', F(skill_class), 4, 4},   {'B', F(sex), 0, 5},
      {'B', F(sex), 5, 0},         {'B', F(sex), 3, 5},           {'D', F(seen_master), 0, 5},
      {'D', F(seen_master), 5, 0}, {'D', F(seen_master), 7, 5},   {'F', F(seen_bard), 0, 5},
      {'F', F(seen_bard), 5, 0},   {'H', F(seen_quenna), 1, 5},   {'H', F(seen_quenna), 5, 0},
      {'J', F(flirted), 0, 5},     {'J', F(flirted), 5, 0},       {'N', F(inn), 0, 5},
      {'N', F(inn), 5, 0},         {'@', F(seen_dragon), 0, 5},   {'@', F(seen_dragon), 5, 0},
  };
#undef F
  const PlayerRecord base = before;
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(std::string("key ") + c.key + " from " + std::to_string(c.from));
    before = base;
    WriteField(before, c.field, c.from);
    PlayerRecord expected = before;
    WriteField(expected, c.field, c.to);
    EXPECT_EQ(RecordBytes(RunKeys(std::string(1, c.key))), RecordBytes(expected));
  }
}

TEST_F(FieldEditorTest, DeathToggleSetsTheHitPoints) {
  struct Case {
    uint8_t dead;
    int16_t hit_points, hit_max;
    uint8_t dead_after;
    int16_t hit_points_after;
  } cases[] = {
      {5, 0, 40, 0, 40},   // revived with full hit points
      {5, 70, 60, 0, 70},  // more than the maximum is kept
      {0, 50, 60, 5, 0},
      {3, 10, 60, 5, 0},  // any value but 5 counts as alive
  };
  const PlayerRecord base = before;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "dead " << int{c.dead} << " hit points " << c.hit_points);
    before = base;
    before.dead = c.dead;
    before.hit_points = c.hit_points;
    before.hit_max = c.hit_max;
    PlayerRecord expected = before;
    expected.dead = c.dead_after;
    expected.hit_points = c.hit_points_after;
    EXPECT_EQ(RecordBytes(RunKeys("P")), RecordBytes(expected));
  }
}

TEST_F(FieldEditorTest, ClassToggleWritesTheRecordEvenWhenNothingChanges) {
  before.skill_class = 0;
  game.WritePlayers({before, neighbour});
  StartEditorOn(game, 0);
  PlayerRecord changed_behind = before;
  changed_behind.gold = 1;
  game.WritePlayers({changed_behind, neighbour});
  TypeKeys("AQ");
  MainLoop();
  EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), RecordBytes(before));
}

TEST_F(FieldEditorTest, SexAndDeathTogglesRedrawTheScreenThemselves) {
  before.sex = 0;
  game.WritePlayers({before, neighbour});
  StartEditorOn(game, 0);
  ASSERT_TRUE(RunFieldEditor('B'));
  EXPECT_NE(ScreenRow(8).find("Sex of Player   : Female"), std::string::npos) << ScreenRow(8);
  EXPECT_NE(ScreenRow(11).find("Seen the Bard?"), std::string::npos) << ScreenRow(11);

  StartEditorOn(game, 0);
  ASSERT_TRUE(RunFieldEditor('P'));
  EXPECT_NE(ScreenRow(15).find("Is Player Dead? : Yes"), std::string::npos) << ScreenRow(15);
  EXPECT_NE(ScreenRow(4).find("Hit Points      : 0"), std::string::npos) << ScreenRow(4);
}

TEST_F(FieldEditorTest, NoEditorTouchesTheReservedBytes) {
  const std::string all_editors =
      "1zed\r" "25\r" "3Zed\r" "41\r" "59\r" "69\r" "7Club\r" "84\r" "92\r" "01\r"
      "A" "B" "C9\r" "D" "E9\r" "F" "G9\r" "H" "I9\r" "J" "KRags\r" "L4\r" "M9\r" "N" "O9\r" "P"
      "@";
  PlayerRecord after = RunKeys(all_editors);
  EXPECT_EQ(ReservedBytes(after), ReservedBytes(before));
  EXPECT_EQ(after.name.Get(), "Zed");
  EXPECT_EQ(after.real_name.Get(), "ZED");
  EXPECT_EQ(int{after.level}, 5);
  EXPECT_EQ(int{after.bank}, 9);
  EXPECT_EQ(int{after.dead}, 5);
  EXPECT_EQ(int{after.seen_dragon}, 5);
}

TEST_F(FieldEditorTest, OnlyFieldKeysAreFieldEditors) {
  game.WritePlayers({before, neighbour});
  StartEditorOn(game, 0);
  for (char key : std::string("XYZQRSTUVW$*#][")) EXPECT_FALSE(RunFieldEditor(key)) << key;
  EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), RecordBytes(before));
}

}  // namespace
