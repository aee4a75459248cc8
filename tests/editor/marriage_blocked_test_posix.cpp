// A character's marriage file that a game node holds: waited for like PLAYER.DAT, and when it stays
// held, shown as unknown and never taken for an unmarried character.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/editor_state.h"
#include "editor/main_screen.h"
#include "editor/npc_marriage.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/files.h"

namespace {

// Another process holding the file exclusively for hold_ms (-1: until ended); its pid once it
// holds the file.
pid_t HoldingNode(const std::string& path, int hold_ms) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    SetFileOpenMode(fmExclusive);
    OsFile file;
    if (FileOpen(file, path, faReadWrite) && write(ready[1], "L", 1) == 1) poll(nullptr, 0, hold_ms);
    _exit(0);
  }
  close(ready[1]);
  char status = 0;
  bool held = read(ready[0], &status, 1) == 1;
  close(ready[0]);
  return held ? pid : -1;
}

void EndNode(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

std::string MarriedToShown() {
  std::string row = ScreenRow(FindScreenRow("(Z) Married To"));
  size_t from = row.find(':') + 1;
  std::string text = row.substr(from, row.find("(@)") - from);
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

// Arno (male) is Quenna's husband according to MARRAGE.DAT.
class HeldMarriageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    PlayerRecord arno = MakePlayer("Arno", "A", 1), bela = MakePlayer("Bela", "B", 2);
    bela.sex = 5;
    StartEditorOn(game, {arno, bela}, 0);
    game.WriteFile("MARRAGE.DAT", "0\r\n");
    before = game.ReadFile("PLAYER.DAT");
  }
  TempGameDir game;
  std::string before;
};

TEST_F(HeldMarriageFile, HeldForAMomentItIsWaitedFor) {
  pid_t node = HoldingNode(game.PathOf("MARRAGE.DAT"), 300);
  ASSERT_GT(node, 0);
  EXPECT_EQ(ReadQuennaSpouse(), 0);
  EndNode(node);
}

// Held past the wait: unknown on the main screen, and the marriage editor changes nothing, whether
// asked for Quenna (who would seem free) or for a player (Arno may be Quenna's husband).
TEST_F(HeldMarriageFile, HeldLongerItIsUnknownAndNobodyIsMarried) {
  for (const char* request : {"-2\r", "1\r", "-1\r"}) {
    SCOPED_TRACE(request);
    pid_t node = HoldingNode(game.PathOf("MARRAGE.DAT"), -1);
    ASSERT_GT(node, 0);
    OutputRecorder output;
    {
      FakeClock clock(0, 100);  // each five-second wait passes in about 50 readings
      DrawMainScreen();
      EXPECT_EQ(MarriedToShown(), "Unknown!");
      TypeKeys(std::string("Z") + request + "Q");
      MainLoop();
    }
    EndNode(node);
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
}

// A file that exists but is no file at all cannot get better by waiting: unknown at once.
TEST_F(HeldMarriageFile, UnreadableWithoutANodeIsUnknownAtOnce) {
  game.MakeDir("MARBARD.DAT");
  FakeClock clock(0, 100);
  EXPECT_EQ(ReadDaskSpouse(), kSpouseUnknown);
  EXPECT_LT(clock.Reads(), 5);
}

}  // namespace
