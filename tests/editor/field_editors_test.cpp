// The main screen's field editors, driven through the real key path: the main loop reads the key,
// the editor reads its answer, and the record is checked on disk.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "editor/editor_state.h"
#include "editor/field_editors.h"
#include "editor/main_screen.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"

namespace {

class FieldEditorTest : public ::testing::Test {
 protected:
  TempGameDir game;
  PlayerRecord before = MakePlayer("Kelda", "KELLY RIVERS", 7);
  PlayerRecord neighbour = MakePlayer("Gorm", "ELDON SMITH", 8);

  // The editor on player 0 of two, the keys and then Q through the main loop; player 0 as on disk.
  // A mark made in memory only (time_on 4242) reaches the disk once an editor saves.
  PlayerRecord RunKeys(const std::string& keys) {
    StartEditorOn(game, {before, neighbour});
    current_record.time_on = 4242;
    TypeKeys(keys + "Q");
    MainLoop();
    EXPECT_EQ(RecordBytes(game.ReadPlayer(1)), RecordBytes(neighbour)) << "player 1 changed";
    return game.ReadPlayer(0);
  }
};

#define F PLAYER_FIELD

// Number editors clamp the whole converted answer before storing it; toggles flip their flag (P
// sets the hit points too) and save even when nothing changes (A on class 0). The whole record is
// compared, so a wrong field, a missing save or a touched reserved byte fails.
TEST_F(FieldEditorTest, EditorsAndTogglesStoreTheirFieldOnly) {
  struct Case {
    std::string keys;
    FieldRef field;
    int32_t from, to;
    int16_t hit_points = 50, hit_points_after = 50;  // hit max is 60
  } cases[] = {
      {"20\r", F(level), 3, 1}, {"213\r", F(level), 3, 12}, {"27abc\r", F(level), 3, 7},
      {"2abc\r", F(level), 3, 1}, {"4-5\r", F(hit_points), 50, 0},
      {"470000\r", F(hit_points), 50, 32000}, {"5-1\r", F(experience), 2500, 0},
      {"665537\r", F(hit_max), 60, 32000},  // would be 1 if cut to 16 bits before the clamp
      {"817\r", F(weapon_num), 3, 17}, {"825\r", F(weapon_num), 3, 20},
      {"90\r", F(forest_fights), 20, 1}, {"00\r", F(player_fights), 3, 0},
      {"0-3\r", F(player_fights), 3, 1}, {"C40000\r", F(strength), 30, 32000},
      {"E-1\r", F(defense), 15, 1}, {"G0\r", F(charm), 12, 1}, {"I99999\r", F(gems), 4, 32000},
      {"L17\r", F(armour_num), 2, 15}, {"M2000000001\r", F(gold), 1500, kTwoBillion},
      {"M2147483648\r", F(gold), 1500, kTwoBillion},
      {"M4294967297\r", F(gold), 1500, kTwoBillion},  // would be 1 if cut to 32 bits
      {"O-7\r", F(bank), 20000, 0},
      {"A", F(skill_class), 1, 2}, {"A", F(skill_class), 3, 1}, {"A", F(skill_class), 4, 4},
      {"A", F(skill_class), 0, 0},
      {"B", F(sex), 0, 5}, {"B", F(sex), 3, 5}, {"D", F(seen_master), 7, 5},
      {"F", F(seen_bard), 5, 0}, {"H", F(seen_quenna), 1, 5}, {"J", F(flirted), 0, 5},
      {"N", F(inn), 5, 0}, {"@", F(seen_dragon), 0, 5},
      {"P", F(dead), 5, 0, 0, 60}, {"P", F(dead), 5, 0, 70, 70},  // more than the maximum kept
      {"P", F(dead), 0, 5, 50, 0}, {"P", F(dead), 3, 5, 10, 0},   // anything but 5 is alive
  };
  const PlayerRecord base = before;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(c.keys) << " from " << c.from);
    before = base;
    before.hit_points = c.hit_points;
    WriteField(before, c.field, c.from);
    PlayerRecord expected = before;
    expected.time_on = 4242;
    expected.hit_points = c.hit_points_after;
    WriteField(expected, c.field, c.to);
    EXPECT_EQ(RecordBytes(RunKeys(c.keys)), RecordBytes(expected));
  }
}

#undef F

// Most number editors open their prompt area at row 24, which scrolls the screen by two rows before
// the answer is in; the fight and text editors open it at row 22 and scroll nothing.
TEST_F(FieldEditorTest, PromptsShowTheOldValueInTheFieldsFormat) {
  before.player_fights = before.forest_fights = 1234;
  before.gold = 1234567;
  for (auto [key, prompt, menu_row] :
       {std::tuple{'9', "  Enter Forest Fights Left (0-32,000 range).  Old value: 1234", 21},
        std::tuple{'0', "  Enter Player Fights Left (0-32,000 range).  Old value: 1,234", 21},
        std::tuple{'M', "  Enter Gold in Hand (0-Two Billion).  Old value: 1,234,567", 19},
        std::tuple{'3', "  Enter VARN Name for player. Old value: Kelda", 21}}) {
    SCOPED_TRACE(std::string("key ") + key);
    StartEditorOn(game, {before, neighbour});
    DrawMainScreen();
    TypeKeys("5\r");
    EXPECT_TRUE(RunFieldEditor(key));
    EXPECT_EQ(ScreenRow(23), prompt);
    EXPECT_EQ(ScreenRow(24), "    > 5");
    EXPECT_EQ(FindScreenRow("Input key to change"), menu_row);
  }
}

// Real names are upper-cased, in-game names kept as typed; a 21st character is not taken. The
// whole record is compared: only the texts' bytes may change.
TEST_F(FieldEditorTest, TextEditorsStoreTheirTextOnly) {
  PlayerRecord expected = before;
  expected.time_on = 4242;
  expected.real_name.Set("ABCDEFGHIJKLMNOPQRST");
  expected.name.Set("Kelda `2the Bold");
  expected.weapon_name.Set("Club");
  expected.armour_name.Set("Rags");
  EXPECT_EQ(RecordBytes(RunKeys("1abcdefghijklmnopqrstu\r3Kelda `2the Bold\r7Club\rKRags\r")),
            RecordBytes(expected));
}

// Esc backs out of every kind of prompt, typed text or not: the record on disk is untouched (the
// mark made in memory shows that nothing was saved either).
TEST_F(FieldEditorTest, EscKeepsTheRecordAsItWas) {
  for (const char* keys : {"1\x1b", "3ab\x1b", "7\x1b", "K\x1b", "2\x1b", "4\x1b", "5\x1b",
                           "6\x1b", "8\x1b", "9\x1b", "0\x1b", "C\x1b", "E\x1b", "G\x1b",
                           "I\x1b", "L\x1b", "M12\x1b", "O\x1b"}) {
    SCOPED_TRACE(testing::PrintToString(keys));
    EXPECT_EQ(RecordBytes(RunKeys(keys)), RecordBytes(before));
  }
}

}  // namespace
