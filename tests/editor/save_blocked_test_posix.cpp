// Game nodes in other processes holding PLAYER.DAT or a character's marriage file.
#include <gtest/gtest.h>

#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "editor/npc_marriage.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/lock_node.h"
#include "fakes/screen_text.h"
#include "runtime/clock.h"
#include "runtime/files.h"

namespace {

const std::string kKept = "  PLAYER.DAT is busy!  The change is kept in memory until the next save.";

// Arno (male) and Bela (female), Arno shown.
class BlockedSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlayerRecord bela = MakePlayer("Bela", "B", 2);
    bela.sex = 5;
    StartEditorOn(game, {MakePlayer("Arno", "A", 1), bela}, 0);
    before = game.ReadFile("PLAYER.DAT");
    changed = current_record;
    changed.gold = 123456;
  }
  TempGameDir game;
  std::string before;
  PlayerRecord changed{};
};

// A record's read and the marriage file's read wait for a node holding the file for a moment
// instead of failing (a failed read would end the editor with an I/O error).
TEST_F(BlockedSaveTest, ReadsWaitForANodeHoldingTheFileForAMoment) {
  game.WriteFile("MARRAGE.DAT", "0\r\n");
  LockNode reading("record", GamePath("PLAYER.DAT"), 200);
  ASSERT_TRUE(reading.Held()) << reading.Said();
  current_player = 1;
  EXPECT_NO_THROW(LoadCurrentPlayer());
  EXPECT_EQ(current_record.name.Get(), "Bela");
  LockNode marriage("flock", game.PathOf("MARRAGE.DAT"), 200);
  ASSERT_TRUE(marriage.Held());
  EXPECT_EQ(ReadQuennaSpouse(), 0);
}

// From two seconds before midnight, at 10 ms a reading.
TEST_F(BlockedSaveTest, HeldAcrossMidnightTheSaveGivesUpAfterFiveSecondsAndQSavesLater) {
  LockNode node("flock", GamePath("PLAYER.DAT"));
  ASSERT_TRUE(node.Held());
  OutputRecorder output;
  {
    FakeClock clock(kMsPerDay - 2'000, 10);
    current_record = changed;
    EXPECT_FALSE(SaveCurrentPlayer());
    const int waited_ms = clock.Reads() * 10;
    EXPECT_GE(waited_ms, 5000) << "gave up before five seconds";
    EXPECT_LT(waited_ms, 5100) << "kept waiting after five seconds";
  }
  node.Release();
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
  EXPECT_TRUE(save_pending);
  EXPECT_NE(StripAnsi(output.Bytes()).find(kKept), std::string::npos);
  EXPECT_TRUE(LoopEnded("Q"));
  EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), RecordBytes(changed));
  EXPECT_FALSE(save_pending);
  EXPECT_EQ(output.Bytes().find("Quit without saving"), std::string::npos);
}

// Quenna would seem free, and Arno may be her husband: an unknown file changes nothing.
TEST_F(BlockedSaveTest, AMarriageFileHeldLongerIsUnknownAndNobodyIsMarried) {
  game.WriteFile("MARRAGE.DAT", "0\r\n");
  for (const char* request : {"-2\r", "1\r", "-1\r"}) {
    SCOPED_TRACE(request);
    LockNode node("flock", game.PathOf("MARRAGE.DAT"));
    ASSERT_TRUE(node.Held());
    OutputRecorder output;
    {
      FakeClock clock(0, 100);  // each five-second wait passes in about 50 readings
      DrawMainScreen();
      EXPECT_EQ(MarriedToShown(), "Unknown!");
      TypeKeys(std::string("Z") + request + "Q");
      MainLoop();
    }
    node.Release();
    EXPECT_NE(StripAnsi(output.Bytes()).find("  MARRAGE.DAT cannot be read!  Quenna's marriage is "
                                             "unknown, so nothing was changed."),
              std::string::npos);
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
    EXPECT_EQ(game.ReadFile("MARRAGE.DAT"), "0\r\n");
    EXPECT_FALSE(game.Exists("MARBARD.DAT"));
    EXPECT_FALSE(game.Exists("LOGNOW.TXT"));
  }
  DrawMainScreen();
  EXPECT_EQ(MarriedToShown(), "Quenna!");
  // A marriage file that is no file at all cannot get better by waiting: unknown at once.
  game.MakeDir("MARBARD.DAT");
  FakeClock clock(0, 100);
  EXPECT_EQ(ReadDaskSpouse(), kSpouseUnknown);
  EXPECT_LT(clock.Reads(), 5);
}

}  // namespace
