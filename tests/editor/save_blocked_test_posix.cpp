// A save while another process (a game node) holds PLAYER.DAT exclusively.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"

namespace {

// Another process that takes the file exclusively and holds it for hold_ms (-1: until ended);
// its pid once it holds the file, -1 when it could not.
pid_t LockingNode(const std::string& path, int hold_ms) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    SetFileOpenMode(fmExclusive);
    OsFile file;
    if (FileOpen(file, path, faReadWrite) && write(ready[1], "L", 1) == 1)
      poll(nullptr, 0, hold_ms);
    _exit(0);
  }
  close(ready[1]);  // the read below then also ends when no child writes
  char status = 0;
  bool locked = read(ready[0], &status, 1) == 1;
  close(ready[0]);
  return locked ? pid : -1;
}

// The node's lock ends with it.
void EndNode(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

class BlockedSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEditorOn(game, {MakePlayer("Ada", "Ada B", 1), MakePlayer("Bo", "Bo C", 2)}, 1);
    before = game.ReadFile("PLAYER.DAT");
    changed = current_record;
    changed.gold = 123456;
  }
  TempGameDir game;
  std::string before;
  PlayerRecord changed{};
};

// A node holding the file for a moment: a save, then a read, wait for it instead of failing (a
// failed read would end the editor with an I/O error).
TEST_F(BlockedSaveTest, HeldForAMomentASaveAndAReadWait) {
  pid_t node = LockingNode(player_path, 500);
  ASSERT_GT(node, 0);
  EXPECT_TRUE(SavePlayerRecord(player_path, 1, changed));
  EndNode(node);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"),
            before.substr(0, kPlayerRecordSize) + RecordBytes(changed));
  EXPECT_FALSE(save_pending);
  node = LockingNode(player_path, 300);
  ASSERT_GT(node, 0);
  current_player = 0;
  EXPECT_NO_THROW(LoadCurrentPlayer());
  EndNode(node);
  EXPECT_EQ(current_record.name.Get(), "Ada");
}

// The clock runs 10 ms per reading, so the five seconds pass in about 500 attempts, at noon as well
// as from two seconds before midnight.
TEST_F(BlockedSaveTest, HeldLongerThanFiveSecondsTheSaveGivesUpAndWritesNothing) {
  for (int32_t start : {12 * 3600 * 1000, 86'400'000 - 2'000}) {
    SCOPED_TRACE(start);
    save_pending = false;
    pid_t node = LockingNode(player_path, -1);
    ASSERT_GT(node, 0);
    OutputRecorder output;
    FakeClock clock(start, 10);
    EXPECT_FALSE(SavePlayerRecord(player_path, 1, changed));
    EXPECT_GE(clock.Reads(), 500) << "gave up before five seconds";
    EXPECT_LE(clock.Reads(), 505) << "kept waiting after five seconds";
    EndNode(node);
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
    EXPECT_TRUE(save_pending);
    EXPECT_NE(output.Bytes().find("PLAYER.DAT is busy!"), std::string::npos);
    EXPECT_EQ(CurrentFileOpenMode(), fmShared);
  }
}

}  // namespace
