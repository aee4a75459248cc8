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
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/path_rules.h"

namespace {

bool ScreenShows(const std::string& text) {
  for (int row = 1; row <= kConsoleRows; ++row)
    if (ConsoleRowText(row).find(text) != std::string::npos) return true;
  return false;
}

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() : in_work(work.Dir()) {
    PlayerRecord ada = MakePlayer("Ada", "Ada Real", 1), bo = MakePlayer("Bo", "Bo Real", 2);
    ada.gold = 1111;
    bo.gold = 2222;
    game.WritePlayers({ada, bo});
    game.WriteFile("VARN.EXE", "");
    ResetDoorLibrary();
  }
  void Configure() const { work.WriteFile("ZORVAN32.CFG", game.Dir() + "\r\n"); }
  // The directory as the prompt should store it on this platform.
  std::string Stored(const std::string& dir) const {
    return PathsAreCaseSensitive() ? dir : UpperStr(dir);
  }

  TempGameDir work;  // the working directory, where ZORVAN32.CFG lives
  TempGameDir game;
  ScopedWorkingDir in_work;
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
  EXPECT_EQ(game_dir, game.Dir());
  EXPECT_EQ(player_path, game.PathOf("PLAYER.DAT"));
}

TEST_F(StartupTest, BracketsMoveThroughThePlayersUntilQ) {
  Configure();
  TypeKeys("]Q");
  EXPECT_EQ(RunEditorMain(), 0);
  EXPECT_TRUE(ScreenShows("(M) Gold in Hand :$2,222"));
  EXPECT_EQ(current_record.name.Get(), "Bo");
  EXPECT_EQ(game_dir, game.Dir());
  EXPECT_EQ(player_path, game.PathOf("PLAYER.DAT"));
}

TEST_F(StartupTest, TheFirstRunAsksForTheGameDirectoryAndStoresIt) {
  std::string dir = game.Dir();
  std::string without_separator = dir.substr(0, dir.size() - 1);
  for (const std::string& answer : {without_separator, dir}) {
    std::filesystem::remove(work.PathOf("ZORVAN32.CFG"));
    ResetDoorLibrary();
    TypeKeys(answer + "\rQ");
    EXPECT_EQ(RunEditorMain(), 0) << answer;
    EXPECT_EQ(work.ReadFile("ZORVAN32.CFG"), Stored(dir) + "\r\n") << answer;
    EXPECT_EQ(game_dir, Stored(dir));
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
  std::string line(100, 'd');
  for (size_t i = 0; i < line.size(); ++i) line[i] = static_cast<char>('a' + i % 26);
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

TEST_F(StartupTest, ANamedDirectoryWithoutPlayersEndsThroughTheIoReport) {
  std::filesystem::remove(game.PathOf("PLAYER.DAT"));
  Configure();
  TypeKeys("Q");
  EXPECT_EQ(RunEditorMain(), kRunErrorExitCode);
  EXPECT_FALSE(ScreenShows("Gold in Hand"));
}

TEST_F(StartupTest, DebugModeComesOnlyFromTheFirstArgumentInAnyCase) {
  struct Case {
    std::vector<std::string> args;
    bool debug;
  };
  const Case cases[] = {
      {{"/debug"}, true}, {{"/DeBuG"}, true},        {{"/DEBUG", "x"}, true},
      {{}, false},        {{"x", "/DEBUG"}, false}, {{"/DEBUGX"}, false},
  };
  Configure();
  for (const auto& c : cases) {
    ResetDoorLibrary();
    TypeKeys("Q");
    EXPECT_EQ(RunEditorMain(c.args), 0);
    EXPECT_EQ(debug_mode, c.debug) << (c.args.empty() ? "" : c.args[0]);
  }
}

TEST_F(StartupTest, ADoubleMarriageOfPlayerZeroIsSettledBeforeTheFirstScreen) {
  Configure();
  game.WriteFile("MARRAGE.DAT", "0\r\n");
  game.WriteFile("MARBARD.DAT", "0\r\n");
  TypeKeys("1\rQ");  // remove Dask
  EXPECT_EQ(RunEditorMain(), 0);
  EXPECT_FALSE(game.Exists("MARBARD.DAT"));
  EXPECT_TRUE(game.Exists("MARRAGE.DAT"));
  EXPECT_TRUE(ScreenShows("(Z) Married To   :Quenna!"));
}

TEST(YesNoTest, OnlyYIsYesAndOnlyNOrEnterIsNo) {
  struct Case {
    std::string keys;
    bool answer;
  };
  const Case cases[] = {
      {"x7n", false}, {"\r", false}, {"y", true}, {"N", false}, {"Y", true},
      {std::string("\0N", 2) + "y", true},  // an extended key whose scan code reads as N
  };
  for (const auto& c : cases) {
    ResetDoorLibrary();
    TypeKeys(c.keys);
    EXPECT_EQ(YesNo(), c.answer) << c.keys;
  }
}

}  // namespace
