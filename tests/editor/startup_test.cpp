// The editor from its start to its end, driven by keys: configuration, the first-run prompt, the
// command line, the credits.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/startup.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/path_rules.h"

namespace {

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
  void Configure() const { work.WriteFile("ZORVAN32.CFG", game.Dir() + "\r\n"); }

  TempGameDir work, game;  // work: the working directory, where ZORVAN32.CFG lives
  std::filesystem::path previous;
};

// The credits follow the last main screen from row 22 on, scrolling its top rows away.
TEST_F(StartupTest, ARunShowsPlayerZeroThenTheCreditsAndEndsWithZero) {
  Configure();
  TypeKeys("Q");
  EXPECT_EQ(RunEditorMain(), 0);
  EXPECT_TRUE(ScreenShows("(M) Gold in Hand :$1,111"));
  const char* const credits[] = {
      "  Zorvan/32 Credits:  Written by the Zorvan/32 developers.",
      "  A sysop's player editor for Varn, with its own door I/O library.",
      "  Design, code and tests by the Zorvan/32 developers.",
      "  ** Compile Date:  January 07, 2006. ** December 2005 Beta.",
      " ",
      "  Credits #2:  ** For VARN/32 use only. ** ",
      "  Zorvan/32 is owned by the Zorvan/32 developers.  All rights reserved.",
  };
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(ConsoleTextAt(1, 17 + i, static_cast<int>(std::strlen(credits[i]))), credits[i]);
  EXPECT_EQ(player_path, game.PathOf("PLAYER.DAT"));
}

// The answer is stored with one separator, upper-cased where names are not case-sensitive.
TEST_F(StartupTest, TheFirstRunAsksForTheGameDirectoryAndStoresIt) {
  std::string dir = game.Dir(), stored = PathsAreCaseSensitive() ? dir : UpperStr(dir);
  for (const std::string& answer : {dir.substr(0, dir.size() - 1), dir}) {
    std::filesystem::remove(work.PathOf("ZORVAN32.CFG"));
    ResetDoorLibrary();
    TypeKeys(answer + "\rQ");
    EXPECT_EQ(RunEditorMain(), 0) << answer;
    EXPECT_EQ(work.ReadFile("ZORVAN32.CFG"), stored + "\r\n") << answer;
    EXPECT_EQ(game_dir, stored);
    EXPECT_TRUE(ScreenShows("(M) Gold in Hand :$1,111"));
  }
}

TEST_F(StartupTest, AWrongDirectoryHaltsWithZeroAndWritesNoConfiguration) {
  std::filesystem::remove(game.PathOf("VARN.EXE"));
  TypeKeys(game.Dir() + "\r");
  EXPECT_EQ(RunEditorMain(), 0);
  EXPECT_TRUE(ScreenShows("Enter the full path to VARN's Directory."));
  EXPECT_TRUE(ScreenShows("Invalid Varn Path! Halting..."));
  EXPECT_FALSE(work.Exists("ZORVAN32.CFG"));
}

TEST_F(StartupTest, OnlyTheFirst80CharactersOfTheFirstLineAreTheGameDirectory) {
  std::string line;
  for (int i = 0; i < 100; ++i) line += static_cast<char>('a' + i % 26);
  work.WriteFile("ZORVAN32.CFG", line + "\r\nsecond line\r\n");
  LoadConfig();
  EXPECT_EQ(game_dir, line.substr(0, 80));
}

TEST_F(StartupTest, AnUnreadableConfigurationEndsThroughTheIoReport) {
  std::filesystem::create_directory(work.PathOf("ZORVAN32.CFG"));
  TypeKeys("Q");
  EXPECT_EQ(RunEditorMain(), kRunErrorExitCode);
  EXPECT_FALSE(ScreenShows("Gold in Hand"));
}

TEST_F(StartupTest, DebugModeComesOnlyFromTheFirstArgumentInAnyCase) {
  const std::pair<std::vector<std::string>, bool> cases[] = {
      {{"/debug"}, true}, {{"/DeBuG", "x"}, true}, {{}, false},
      {{"x", "/DEBUG"}, false}, {{"/DEBUGX"}, false}};
  Configure();
  for (const auto& [args, debug] : cases) {
    ResetDoorLibrary();
    TypeKeys("Q");
    EXPECT_EQ(RunEditorMain(args), 0);
    EXPECT_EQ(debug_mode, debug) << (args.empty() ? "" : args[0]);
  }
}

}  // namespace
