// The main screen as the sysop sees it: the headless console read at rows and columns.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/console.h"
#include "runtime/files.h"

namespace {

// An 80-column row: text from a column (3 unless given) and text from column 47.
std::string Row(const std::string& left, const std::string& right = "", size_t column = 3) {
  std::string row(80, ' ');
  row.replace(column - 1, left.size(), left);
  return row.replace(46, right.size(), right);
}

class MainScreenTest : public ::testing::Test {
 protected:
  TempGameDir game;
};

TEST_F(MainScreenTest, EveryFieldSitsInItsRowAndColumn) {
  PlayerRecord p = MakePlayer("Brannock", "Ned Ashworth", 5);  // sex 0, married to -1
  p.weapon_name.Set("Thornblade");
  p.armour_name.Set("Scale Hauberk");
  p.level = 7, p.hit_points = 2212, p.hit_max = 2240, p.experience = 1834560, p.weapon_num = 9;
  p.forest_fights = 14, p.player_fights = 2, p.skill_class = 2, p.strength = 4100;
  p.seen_master = p.seen_quenna = p.flirted = p.inn = p.seen_dragon = 5;
  p.defense = 388, p.charm = 37, p.gems = 1200, p.armour_num = 8, p.gold = 48250;
  p.bank = 1250000;
  StartEditorOn(game, {MakePlayer("Other", "Someone Else"), p}, 1);
  DrawMainScreen();
  const std::string expected[] = {
      Row("**  Vexorn VarnEdit/32 v0.67 Beta **", "", 22),
      Row("Account Number: 1", "", 32),
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
      Row(""),
      Row("(#) \"Clean Slate\" Player Reset", "", 24),
      Row("(X)Delete Player    (Y)Search By Name    ($) Extended Info"),
      Row("(])Advance One      ([)Back Up One       (*) New Day For Player"),
      Row("    Input key to change, or Q to quit and save."),
      Row("")};
  for (int row = 1; row <= 22; ++row)
    EXPECT_EQ(ConsoleRowText(row), expected[row - 1]) << "row " << row;
  EXPECT_EQ(ConsoleWhereX(), 1);
  EXPECT_EQ(ConsoleWhereY(), 22);
  EXPECT_EQ(ConsoleCellAt(4, 3).attr, 10);   // a key in light green
  EXPECT_EQ(ConsoleCellAt(69, 3).attr, 12);  // the level in light red
}

// Sex 3 comes after a female player: the label stays hers.
TEST_F(MainScreenTest, TheSeenLabelFollowsTheSexAndIsKeptForOtherValues) {
  const struct {
    uint8_t sex;
    std::string shown, label;
  } steps[] = {{0, "Male  ", "(H) Seen Quenna?    : "},
               {5, "Female", "(H) Seen the Bard?  : "},
               {3, "Male  ", "(H) Seen the Bard?  : "}};
  StartEditorOn(game, {MakePlayer("Fay", "Fay A")});
  for (const auto& s : steps) {
    current_record.sex = s.sex;
    DrawMainScreen();
    EXPECT_EQ(ConsoleTextAt(69, 8, 6), s.shown) << int{s.sex};
    EXPECT_EQ(ConsoleTextAt(47, 11, 22), s.label) << int{s.sex};
  }
}

// ] and [ reload from disk and wrap around, with one player and with three; an extended key is
// never taken for its letter (PgDn's scan code is 'Q').
TEST_F(MainScreenTest, NavigationReloadsAndWrapsWithOneOrThreePlayers) {
  StartEditorOn(game, {MakePlayer("Ada", "A")});
  const std::vector<std::string> three = {"Ada", "X", "Cy"};
  const struct {
    std::vector<std::string> on_disk;
    std::string keys;
    uint8_t player;
  } steps[] = {{{"Bea"}, "]Q", 0}, {{"Cal"}, "[Q", 0}, {three, "[Q", 2}, {three, "]Q", 0},
               {three, std::string("\0Q]Q", 4), 1}};
  for (const auto& s : steps) {
    std::vector<PlayerRecord> players;
    for (const auto& name : s.on_disk) players.push_back(MakePlayer(name, "A"));
    game.WritePlayers(players);
    TypeKeys(s.keys);
    MainLoop();
    const std::string& name = s.on_disk[s.player];
    EXPECT_EQ(current_player, s.player) << s.keys;
    EXPECT_EQ(RecordBytes(current_record), RecordBytes(players[s.player])) << name;
    EXPECT_EQ(ConsoleTextAt(21, 4, 4), name + std::string(4 - name.size(), ' '));
    EXPECT_EQ(ConsoleTextAt(32, 2, 17), "Account Number: " + std::to_string(s.player));
  }
}

// A node holds PLAYER.DAT past the save's patience (the fake clock makes the five seconds short):
// the notice stays under the screen, a prompt that follows is not written over its tail, and the
// change is not left behind when moving on.
TEST_F(MainScreenTest, AFailedSaveIsShownAndRetriedBeforeMovingOn) {
  StartEditorOn(game, {MakePlayer("Ada", "A"), MakePlayer("Bo", "B")});
  std::string before = game.ReadFile("PLAYER.DAT");
  SetFileOpenMode(fmExclusive);
  OsFile node;
  ASSERT_TRUE(FileOpen(node, player_path, faReadWrite));
  {
    FakeClock clock(0, 50);
    current_record.gems = 99;
    SaveCurrentPlayer();
    EXPECT_FALSE(LoopEnded("]"));
    EXPECT_EQ(ConsoleTextAt(3, 23, 57), "PLAYER.DAT is busy!  The change is kept in memory until t");
    EXPECT_EQ(ConsoleWhereY(), 22);
    EXPECT_FALSE(LoopEnded("X"));  // the deletion prompt's second line is row 23
    EXPECT_EQ(ScreenRow(23), "  Are you SURE you want to delete the player: Ada");
  }
  EXPECT_TRUE(save_pending);
  EXPECT_EQ(current_player, 0);
  FileClose(node);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
  TypeKeys("Ybo\rYQ");  // a search that moves on saves the waiting change first, as ] does
  MainLoop();
  EXPECT_EQ(current_player, 1);
  EXPECT_FALSE(save_pending);
  EXPECT_EQ(ConsoleRowText(23), std::string(80, ' '));
  EXPECT_EQ(int{game.ReadPlayer(0).gems}, 99);
}

// PLAYER.DAT deleted, replaced by a directory (which not even root can write) or made read-only
// (where that really refuses writing, so not for root): the change stays in memory with a notice
// naming the cause, moves and a search stay on the player, and nothing waits the five seconds
// meant for a busy file. Only a second Q leaves without the change.
TEST_F(MainScreenTest, AnUnusableFileKeepsTheEditorOnThePlayerAndNamesTheCause) {
  namespace fs = std::filesystem;
  const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  const struct {
    std::string how, cause;
  } cases[] = {{"deleted", "PLAYER.DAT is missing!"},
               {"directory", "PLAYER.DAT is unwritable!"},
               {"read-only", "PLAYER.DAT is unwritable!"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    TempGameDir spoiled;
    StartEditorOn(spoiled, {MakePlayer("Ada", "A"), MakePlayer("Bo", "B"), MakePlayer("Cy", "C")},
                  1);
    const std::string path = spoiled.PathOf("PLAYER.DAT");
    if (c.how != "read-only") fs::remove(path);
    if (c.how == "directory") fs::create_directory(path);
    if (c.how == "read-only") {
      fs::permissions(path, write, fs::perm_options::remove);
      if (std::ofstream(path, std::ios::app)) continue;  // root: the file is writable all the same
    }
    FakeClock clock(0, 50);
    current_record.gems = 77;
    EXPECT_FALSE(SaveCurrentPlayer());
    EXPECT_FALSE(LoopEnded("][Ycy\rQ"));
    EXPECT_LT(clock.Reads(), 50) << "waited as for a busy file";
    EXPECT_EQ(current_player, 1);
    EXPECT_EQ(ScreenRow(23),
              "  " + c.cause + "  The change is kept in memory until the next save.");
    EXPECT_EQ(ScreenRow(24), "  Press Q again to quit and lose the change.");
    EXPECT_TRUE(LoopEnded("QQ"));
    EXPECT_FALSE(save_pending);
    if (c.how == "read-only") fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  }
}

}  // namespace
