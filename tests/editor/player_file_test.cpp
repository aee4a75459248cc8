// PLAYER.DAT's record writes and ZORVAN32.CFG's first-run prompt. (The fatal I/O reports and a
// whole run to the credits are the black-box tests'.)
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/path_rules.h"

namespace {

// Without existing_only (the work records' case, theirs to test) a write may also add the record
// just past the end, but never one beyond it, which would leave a gap of no player.
TEST(PlayerFileTest, AWriteGoesOnlyWhereARecordIsOrMayBe) {
  TempGameDir game;
  const PlayerRecord ada = MakePlayer("Ada", "A"), bo = MakePlayer("Bo", "B");
  for (const auto& [n, result] : {std::pair{2, frDone}, std::pair{3, frOutside}}) {
    game.WritePlayers({ada, ada});
    EXPECT_EQ(WritePlayerRecord(game.PathOf("PLAYER.DAT"), n, bo), result) << n;
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), RecordBytes(ada) + RecordBytes(ada) +
                                               (result == frDone ? RecordBytes(bo) : ""));
  }
  // A second hold while one lives is our bug, never a node's busy file.
  editor_state.game_dir = game.Dir();
  PlayerFileHold outer, inner;
  ASSERT_EQ(outer.Take(), frDone);
  EXPECT_THROW(inner.Take(), std::logic_error);
}

// A good answer is stored with one separator, upper-cased where names are not case-sensitive.
TEST(StartupTest, TheFirstRunAsksForTheGameDirectoryAndStoresAGoodOne) {
  TempGameDir work, game;  // work: the working directory, where ZORVAN32.CFG lives
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(work.Dir());
  PlayerRecord ada = MakePlayer("Ada", "Ada Real", 1);
  ada.gold = 1111;  // player 1 has 1,500
  game.WritePlayers({ada, MakePlayer("Bo", "Bo Real", 2)});
  ResetEverything();
  TypeKeys(game.Dir() + "\r");
  EXPECT_EQ(RunEditorMain(), 0);
  EXPECT_NE(FindScreenRow("Invalid Varn Path! Halting..."), 0);
  EXPECT_NE(FindScreenRow("There is no VARN.EXE in "), 0);
  EXPECT_FALSE(work.Exists("ZORVAN32.CFG"));
  game.WriteFile("VARN.EXE", "");
  // Typed without its separator.
  const std::string dir = game.Dir(), stored = PathsAreCaseSensitive() ? dir : UpperStr(dir);
  ResetEverything();
  TypeKeys(dir.substr(0, dir.size() - 1) + "\rQ");
  EXPECT_EQ(RunEditorMain(), 0);
  std::filesystem::current_path(previous);
  EXPECT_EQ(work.ReadFile("ZORVAN32.CFG"), stored + "\r\n");
  EXPECT_EQ(editor_state.game_dir, stored);
  EXPECT_NE(FindScreenRow("(M) Gold in Hand :$1,111"), 0);
}

}  // namespace
