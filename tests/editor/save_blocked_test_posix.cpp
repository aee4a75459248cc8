// A save while another process (a game node) holds PLAYER.DAT exclusively.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"

namespace {

// Another process that takes the file exclusively, reports that it has, and lets go after hold_ms
// (or, with -1, when Release is called).
class LockingNode {
 public:
  LockingNode(const std::string& path, int hold_ms) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release[1]);  // or the child would never see the pipe close
      RunChild(path, hold_ms, ready[1], release[0]);
    }
    close(ready[1]);
    close(release[0]);
    release_fd_ = release[1];
    char status = 0;
    locked_ = read(ready[0], &status, 1) == 1 && status == 'L';
    close(ready[0]);
  }
  ~LockingNode() {
    Release();
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  bool Locked() const { return locked_; }
  void Release() {
    if (release_fd_ < 0) return;
    close(release_fd_);  // the child's poll sees the pipe close
    release_fd_ = -1;
  }

 private:
  [[noreturn]] static void RunChild(const std::string& path, int hold_ms, int ready_fd,
                                    int release_fd) {
    SetFileOpenMode(fmExclusive);
    OsFile file;
    char status = FileOpen(file, path, faReadWrite) ? 'L' : 'E';
    if (write(ready_fd, &status, 1) != 1) _exit(1);
    pollfd wait_for_release{release_fd, POLLIN, 0};
    poll(&wait_for_release, 1, hold_ms);
    FileClose(file);
    _exit(0);
  }

  pid_t pid_ = -1;
  int release_fd_ = -1;
  bool locked_ = false;
};

class BlockedSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    game.WritePlayers({MakePlayer("Ada", "Ada B", 1), MakePlayer("Bo", "Bo C", 2)});
    StartEditorOn(game, 1);
    before = game.ReadFile("PLAYER.DAT");
    changed = current_record;
    changed.gold = 123456;
  }
  TempGameDir game;
  std::string before;
  PlayerRecord changed{};
};

TEST_F(BlockedSaveTest, HeldForTwoSecondsTheSaveWaitsAndSucceeds) {
  LockingNode node(player_path, 2000);
  ASSERT_TRUE(node.Locked());
  EXPECT_TRUE(SavePlayerRecord(player_path, 1, changed));
  EXPECT_EQ(RecordBytes(game.ReadPlayer(1)), RecordBytes(changed));
  EXPECT_EQ(RecordBytes(game.ReadPlayer(0)), before.substr(0, kPlayerRecordSize));
  EXPECT_FALSE(save_pending);
}

// The clock runs 10 ms per reading, so the five seconds pass in about 500 attempts.
TEST_F(BlockedSaveTest, HeldLongerThanFiveSecondsTheSaveGivesUpAndWritesNothing) {
  LockingNode node(player_path, -1);
  ASSERT_TRUE(node.Locked());
  OutputRecorder output;
  FakeClock clock(12 * 3600 * 1000, 10);
  EXPECT_FALSE(SavePlayerRecord(player_path, 1, changed));
  EXPECT_GE(clock.Reads(), 500) << "gave up before five seconds";
  EXPECT_LE(clock.Reads(), 505);
  node.Release();
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
  EXPECT_TRUE(save_pending);
  EXPECT_NE(output.Bytes().find("PLAYER.DAT is busy!"), std::string::npos);
  EXPECT_EQ(CurrentFileOpenMode(), fmShared);
}

TEST_F(BlockedSaveTest, TheFiveSecondsAreCountedAcrossMidnight) {
  LockingNode node(player_path, -1);
  ASSERT_TRUE(node.Locked());
  FakeClock clock(86'400'000 - 2'000, 10);  // two seconds before midnight
  EXPECT_FALSE(SavePlayerRecord(player_path, 1, changed));
  EXPECT_GE(clock.Reads(), 500) << "took the wrap at midnight for the end of the wait";
  EXPECT_LE(clock.Reads(), 505) << "kept waiting after midnight";
  node.Release();
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
}

}  // namespace
