// The game's files: PLAYER.DAT's records (counting, reading, saving, the fatal errors), TIME.DAT,
// and ZORVAN32.CFG with the first-run prompt. (A whole run to the credits is the black-box terminal
// test's.)
#include <gtest/gtest.h>

#include <filesystem>

#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "editor/startup.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/path_rules.h"

namespace {

class PlayerFileTest : public ::testing::Test {
 protected:
  void SetUp() override { game_dir = game.Dir(); }
  TempGameDir game;
};

// Without existing_only (the work records' case, theirs to test) a write may also add the record
// just past the end, but never one beyond it, which would leave a gap of no player.
TEST_F(PlayerFileTest, AWriteGoesOnlyWhereARecordIsOrMayBe) {
  const PlayerRecord ada = MakePlayer("Ada", "A"), bo = MakePlayer("Bo", "B");
  const std::string player_path = game.PathOf("PLAYER.DAT");
  for (const auto& [n, result] : {std::pair{2, frDone}, std::pair{3, frOutside}}) {
    game.WritePlayers({ada, ada});
    EXPECT_EQ(WritePlayerRecord(player_path, n, bo), result) << n;
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), RecordBytes(ada) + RecordBytes(ada) +
                                               (result == frDone ? RecordBytes(bo) : ""));
  }
}

// The runtime's report ends the program, and nothing else is printed.
TEST_F(PlayerFileTest, UnreadableRecordsAndTimeDatEndTheProgramThroughTheIoReport) {
  StartEditorOn(game, {MakePlayer("Ada", "Ada B")});
  PlayerRecord before = current_record;
  std::filesystem::create_directory(game.PathOf("TIME.DAT"));
  OutputRecorder output;
  current_player = 1;
  EXPECT_EQ(HaltCodeOf(LoadCurrentPlayer), kRunErrorExitCode) << "record past the end";
  EXPECT_EQ(HaltCodeOf([] { LoadScratchRecord(5); }), kRunErrorExitCode);
  EXPECT_EQ(HaltCodeOf([] { GameDayText(); }), kRunErrorExitCode);
  EXPECT_EQ(output.Bytes(), "");
  EXPECT_EQ(RecordBytes(current_record), RecordBytes(before));
}

bool ScreenShows(const std::string& text) { return FindScreenRow(text) != 0; }

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(work.Dir());
    PlayerRecord ada = MakePlayer("Ada", "Ada Real", 1);
    ada.gold = 1111;  // player 1 has 1,500
    game.WritePlayers({ada, MakePlayer("Bo", "Bo Real", 2)});
    game.WriteFile("VARN.EXE", "");
    ResetDoorLibrary();
  }
  ~StartupTest() override { std::filesystem::current_path(previous); }

  TempGameDir work, game;  // work: the working directory, where ZORVAN32.CFG lives
  std::filesystem::path previous;
};

// A good answer is stored with one separator, upper-cased where names are not case-sensitive.
TEST_F(StartupTest, TheFirstRunAsksForTheGameDirectoryAndStoresAGoodOne) {
  std::filesystem::remove(game.PathOf("VARN.EXE"));
  TypeKeys(game.Dir() + "\r");
  EXPECT_EQ(RunEditorMain(), 0);
  EXPECT_TRUE(ScreenShows("Invalid Varn Path! Halting..."));
  EXPECT_FALSE(work.Exists("ZORVAN32.CFG"));
  game.WriteFile("VARN.EXE", "");
  // Typed without its separator.
  const std::string dir = game.Dir(), stored = PathsAreCaseSensitive() ? dir : UpperStr(dir);
  ResetDoorLibrary();
  TypeKeys(dir.substr(0, dir.size() - 1) + "\rQ");
  EXPECT_EQ(RunEditorMain(), 0);
  EXPECT_EQ(work.ReadFile("ZORVAN32.CFG"), stored + "\r\n");
  EXPECT_EQ(game_dir, stored);
  EXPECT_TRUE(ScreenShows("(M) Gold in Hand :$1,111"));
  const std::string line = std::string(80, 'a') + "bcd";
  work.WriteFile("ZORVAN32.CFG", line + "\r\nsecond line\r\n");
  LoadConfig();
  EXPECT_EQ(game_dir, std::string(80, 'a'));
  std::filesystem::remove(work.PathOf("ZORVAN32.CFG"));
  std::filesystem::create_directory(work.PathOf("ZORVAN32.CFG"));
  ResetDoorLibrary();
  TypeKeys("Q");
  EXPECT_EQ(RunEditorMain(), kRunErrorExitCode);
  EXPECT_FALSE(ScreenShows("Gold in Hand"));
}

}  // namespace
