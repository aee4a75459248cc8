// The main screen as the sysop sees it: the headless console read at rows and columns.
#include <gtest/gtest.h>

#include <filesystem>

#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "runtime/console.h"
#include "runtime/files.h"

namespace {

// An 80-column row: text from column 3 and text from column 47, blanks elsewhere.
std::string Row(const std::string& from_column_3, const std::string& from_column_47 = "") {
  std::string row(80, ' ');
  row.replace(2, from_column_3.size(), from_column_3);
  if (!from_column_47.empty()) row.replace(46, from_column_47.size(), from_column_47);
  return row;
}

std::string Centred(const std::string& text, int column) {
  std::string row(80, ' ');
  row.replace(static_cast<size_t>(column - 1), text.size(), text);
  return row;
}

PlayerRecord Brannock() {
  PlayerRecord p = MakePlayer("Brannock", "Ned Ashworth", 5);
  p.level = 7;
  p.hit_points = 2212;
  p.experience = 1834560;
  p.hit_max = 2240;
  p.weapon_name.Set("Thornblade");
  p.weapon_num = 9;
  p.forest_fights = 14;
  p.player_fights = 2;
  p.skill_class = 2;
  p.sex = 0;
  p.strength = 4100;
  p.seen_master = 5;
  p.defense = 388;
  p.seen_bard = 0;
  p.charm = 37;
  p.seen_quenna = 5;
  p.gems = 1200;
  p.flirted = 5;
  p.armour_name.Set("Scale Hauberk");
  p.armour_num = 8;
  p.gold = 48250;
  p.inn = 5;
  p.bank = 1250000;
  p.dead = 0;
  p.married_to = -1;
  p.seen_dragon = 5;
  return p;
}

class MainScreenTest : public ::testing::Test {
 protected:
  void Start(const std::vector<PlayerRecord>& players, uint8_t current = 0) {
    game.WritePlayers(players);
    StartEditorOn(game, current);
  }
  TempGameDir game;
};

TEST_F(MainScreenTest, EveryFieldSitsInItsRowAndColumn) {
  Start({MakePlayer("Other", "Someone Else"), Brannock()}, 1);
  DrawMainScreen();
  const std::string expected[] = {
      Centred("**  Vexorn VarnEdit/32 v0.67 Beta **", 22),
      Centred("Account Number: 1", 32),
      Row("(1) Real Name    :Ned Ashworth", "(2) Level           : 7 "),
      Row("(3) Nickname     :Brannock", "(4) Hit Points      : 2,212"),
      Row("(5) Experience   :1,834,560", "(6) Hit Max         : 2,240"),
      Row("(7) Weapon Name  :Thornblade", "(8) Weapon Num      : 9"),
      Row("(9) Forest Fights:14", "(0) Player Fights   : 2"),
      Row("(A) Skill Class  :The Mystical Skills", "(B) Sex of Player   : Male"),
      Row("(C) Strength     :4,100", "(D) Seen Master?    : Yes"),
      Row("(E) Defense      :388", "(F) Heard Bard Sing?: No!"),
      Row("(G) Charm        :37", "(H) Seen Quenna?    : Yes"),
      Row("(I) Gems         :1,200", "(J) Flirted Player? : Yes"),
      Row("(K) Armour Name  :Scale Hauberk", "(L) Armour Num      : 8"),
      Row("(M) Gold in Hand :$48,250", "(N) Asleep at Inn?  : Yes"),
      Row("(O) Gold in Bank :$1,250,000", "(P) Is Player Dead? : No!"),
      Row("(Z) Married To   :-1 Nobody!", "(@) Seen Dragon?    : Yes"),
      std::string(80, ' '),
      Centred("(#) \"Clean Slate\" Player Reset", 24),
      Row("(X)Delete Player    (Y)Search By Name    ($) Extended Info"),
      Row("(])Advance One      ([)Back Up One       (*) New Day For Player"),
      Row("    Input key to change, or Q to quit and save."),
  };
  for (int row = 1; row <= 21; ++row)
    EXPECT_EQ(ConsoleRowText(row), expected[row - 1]) << "row " << row;
  EXPECT_EQ(ConsoleRowText(22), std::string(80, ' '));
  EXPECT_EQ(ConsoleWhereX(), 1);
  EXPECT_EQ(ConsoleWhereY(), 22);
  // The colours of a label: green brackets, a light green key, the colon in white.
  EXPECT_EQ(ConsoleCellAt(3, 3).attr, 2);
  EXPECT_EQ(ConsoleCellAt(4, 3).attr, 10);
  EXPECT_EQ(ConsoleCellAt(20, 3).attr, 15);
  EXPECT_EQ(ConsoleCellAt(69, 3).attr, 12);  // the level in light red
}

TEST_F(MainScreenTest, FieldTextsFollowTheirRules) {
  struct Case {
    const char* what;
    void (*set)(PlayerRecord&);
    char key;
    std::string text;
  };
  const Case cases[] = {
      {"class 0", [](PlayerRecord& p) { p.skill_class = 0; }, 'A', ""},
      {"class 4", [](PlayerRecord& p) { p.skill_class = 4; }, 'a', ""},
      {"class 1", [](PlayerRecord& p) { p.skill_class = 1; }, 'A', "`$Death Knight `0Skills"},
      {"class 3", [](PlayerRecord& p) { p.skill_class = 3; }, 'A', "`$The Thieving `0Skills"},
      {"female", [](PlayerRecord& p) { p.sex = 5; }, 'B', "Female"},
      {"sex 3", [](PlayerRecord& p) { p.sex = 3; }, 'b', "Male  "},
      {"flirted 1", [](PlayerRecord& p) { p.flirted = 1; }, 'J', "Not yet."},
      {"flirted", [](PlayerRecord& p) { p.flirted = 5; }, 'J', "Yes     "},
      {"dead 1", [](PlayerRecord& p) { p.dead = 1; }, 'P', "No!"},
      {"level", [](PlayerRecord& p) { p.level = -3; }, '2', "`@-3 "},
      {"gold", [](PlayerRecord& p) { p.gold = -1234567; }, 'M', "-1,234,567"},
      {"weapon", [](PlayerRecord& p) { p.weapon_num = 20; }, '8', "`#20"},
      {"nickname", [](PlayerRecord& p) { p.name.Set("Kel`4da"); }, '3', "`$Kel`4da"},
      {"hit points", [](PlayerRecord& p) { p.hit_points = 32000; }, '4', "`$32,000"},
      {"not a field", [](PlayerRecord&) {}, 'Q', ""},
  };
  Start({MakePlayer("Ada", "Ada B")});
  for (const auto& c : cases) {
    current_record = MakePlayer("Ada", "Ada B");
    c.set(current_record);
    EXPECT_EQ(MainFieldText(c.key), c.text) << c.what;
  }
}

TEST_F(MainScreenTest, TheSeenLabelFollowsTheSexAndIsKeptForOtherValues) {
  PlayerRecord female = MakePlayer("Fay", "Fay A"), male = MakePlayer("Gus", "Gus B"),
               other = MakePlayer("Hob", "Hob C");
  female.sex = 5;
  male.sex = 0;
  other.sex = 3;
  Start({female, male, other});
  struct Step {
    uint8_t player;
    std::string sex;
    std::string label;
  };
  const Step steps[] = {
      {0, "Female", "(H) Seen the Bard?  : "},
      {1, "Male  ", "(H) Seen Quenna?    : "},
      {2, "Male  ", "(H) Seen Quenna?    : "},
  };
  for (const auto& s : steps) {
    current_player = s.player;
    LoadCurrentPlayer();
    DrawMainScreen();
    EXPECT_EQ(ConsoleTextAt(69, 8, 6), s.sex) << int(s.player);
    EXPECT_EQ(ConsoleTextAt(47, 11, 22), s.label) << int(s.player);
  }
}

TEST_F(MainScreenTest, MarriedToNamesThePlayerOrTheCharacterOrNobody) {
  struct Case {
    const char* what;
    int16_t married_to;
    const char* quenna_file;
    const char* dask_file;
    std::string shown;
  };
  const Case cases[] = {
      {"player spouse", 2, nullptr, nullptr, "2 Kelda"},
      {"Quenna", -1, "0\r\n", nullptr, "Quenna!"},
      {"Dask Able", -1, nullptr, "0\r\n", "Dask Able!"},
      {"nobody", -1, nullptr, nullptr, "-1 Nobody!"},
      {"characters married elsewhere", -1, "1\r\n", "2\r\n", "-1 Nobody!"},
  };
  for (const auto& c : cases) {
    PlayerRecord me = MakePlayer("Me", "Me A");
    me.married_to = c.married_to;
    Start({me, MakePlayer("Ola", "Ola B"), MakePlayer("Kelda", "Kelda C")});
    std::filesystem::remove(game.PathOf("MARRAGE.DAT"));
    std::filesystem::remove(game.PathOf("MARBARD.DAT"));
    if (c.quenna_file) game.WriteFile("MARRAGE.DAT", c.quenna_file);
    if (c.dask_file) game.WriteFile("MARBARD.DAT", c.dask_file);
    DrawMainScreen();
    EXPECT_EQ(ConsoleTextAt(21, 16, 26), c.shown + std::string(26 - c.shown.size(), ' '))
        << c.what;
  }
}

TEST_F(MainScreenTest, ASpouseBeyondTheEndShowsTheNameLastLoaded) {
  PlayerRecord me = MakePlayer("Me", "Me A");
  me.married_to = 9;
  Start({me});
  work_records[1].name.Set("Stale");
  EXPECT_EQ(MainFieldText('Z'), "9 `2Stale");
}

TEST_F(MainScreenTest, NavigationWrapsAroundThreePlayers) {
  Start({MakePlayer("Ada", "A"), MakePlayer("X", "X"), MakePlayer("Cy", "C")}, 2);
  TypeKeys("]Q");
  MainLoop();
  EXPECT_EQ(current_player, 0);
  EXPECT_EQ(ConsoleTextAt(21, 4, 4), "Ada ");
  TypeKeys("[Q");
  MainLoop();
  EXPECT_EQ(current_player, 2);
  EXPECT_EQ(ConsoleTextAt(21, 4, 4), "Cy  ");
  TypeKeys("[Q");  // the deleted player is reached like any other
  MainLoop();
  EXPECT_EQ(current_player, 1);
  EXPECT_EQ(ConsoleTextAt(32, 2, 17), "Account Number: 1");
  EXPECT_EQ(ConsoleTextAt(21, 4, 2), "X ");
}

TEST_F(MainScreenTest, WithOnePlayerBothDirectionsReloadItFromDisk) {
  Start({MakePlayer("Ada", "A")});
  for (const char* keys : {"]Q", "[Q"}) {
    PlayerRecord on_disk = MakePlayer(keys[0] == ']' ? "Bea" : "Cal", "A");
    game.WritePlayers({on_disk});
    TypeKeys(keys);
    MainLoop();
    EXPECT_EQ(current_player, 0);
    EXPECT_EQ(RecordBytes(current_record), RecordBytes(on_disk)) << keys;
  }
}

TEST_F(MainScreenTest, KeysWithoutAnActionOnlyRedraw) {
  Start({MakePlayer("Ada", "A"), MakePlayer("Bo", "B")});
  std::string before = game.ReadFile("PLAYER.DAT");
  TypeKeys("TRSUVWtq");
  MainLoop();
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
  EXPECT_EQ(current_player, 0);
  EXPECT_EQ(ConsoleTextAt(3, 21, 47), "    Input key to change, or Q to quit and save.");
}

TEST_F(MainScreenTest, AnExtendedKeyIsNeverTakenForItsLetter) {
  Start({MakePlayer("Ada", "A"), MakePlayer("Bo", "B")});
  TypeKeys(std::string("\0Q", 2) + "]Q");  // PgDn's scan code is 'Q'
  MainLoop();
  EXPECT_EQ(current_player, 1);
}

// A node holds PLAYER.DAT past the save's patience (the fake clock makes the five seconds short).
class BusySaveTest : public MainScreenTest {
 protected:
  void Hold() {
    SetFileOpenMode(fmExclusive);
    ASSERT_TRUE(FileOpen(node, player_path, faReadWrite));
  }
  OsFile node;
};

TEST_F(BusySaveTest, AFailedSaveIsShownUnderTheScreenUntilASaveSucceeds) {
  Start({MakePlayer("Ada", "A"), MakePlayer("Bo", "B")});
  std::string before = game.ReadFile("PLAYER.DAT");
  Hold();
  {
    FakeClock clock(0, 50);
    current_record.gems = 99;
    SaveCurrentPlayer();
  }
  EXPECT_TRUE(save_pending);
  DrawMainScreen();
  EXPECT_EQ(ConsoleTextAt(3, 23, 57), "PLAYER.DAT is busy!  The change is kept in memory until t");
  EXPECT_EQ(ConsoleWhereY(), 22);

  FileClose(node);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
  SaveCurrentPlayer();
  EXPECT_FALSE(save_pending);
  DrawMainScreen();
  EXPECT_EQ(ConsoleRowText(23), std::string(80, ' '));
  EXPECT_EQ(int{game.ReadPlayer(0).gems}, 99);
}

TEST_F(BusySaveTest, MovingOnFromAnUnsavedChangeSavesItFirstOrStays) {
  Start({MakePlayer("Ada", "A"), MakePlayer("Bo", "B")});
  Hold();
  FakeClock clock(0, 50);
  current_record.gems = 99;
  SaveCurrentPlayer();
  TypeKeys("]Q");
  MainLoop();
  EXPECT_EQ(current_player, 0) << "left the unsaved change behind";
  EXPECT_EQ(int{current_record.gems}, 99);

  FileClose(node);
  TypeKeys("]Q");
  MainLoop();
  EXPECT_EQ(current_player, 1);
  EXPECT_EQ(int{game.ReadPlayer(0).gems}, 99);
  EXPECT_FALSE(save_pending);
}

}  // namespace
