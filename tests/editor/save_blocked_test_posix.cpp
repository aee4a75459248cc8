// Another process (a game node) at the game files: holding PLAYER.DAT or a character's marriage
// file exclusively, or appending to the news at the same time as the editor.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "editor/editor_state.h"
#include "editor/mail_news.h"
#include "editor/main_screen.h"
#include "editor/npc_marriage.h"
#include "editor/player_file.h"
#include "editor/startup.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
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

// A node holding a file for a moment: a save, a read and the marriage file's read wait for it
// instead of failing (a failed read would end the editor with an I/O error).
TEST_F(BlockedSaveTest, HeldForAMomentASaveAndAReadWait) {
  pid_t node = LockingNode(player_path, 500);
  ASSERT_GT(node, 0);
  current_record = changed;
  EXPECT_TRUE(SaveCurrentPlayer());
  EndNode(node);
  EXPECT_EQ(game.ReadFile("PLAYER.DAT"), RecordBytes(changed) + before.substr(kPlayerRecordSize));
  EXPECT_FALSE(save_pending);
  node = LockingNode(player_path, 300);
  ASSERT_GT(node, 0);
  current_player = 1;
  EXPECT_NO_THROW(LoadCurrentPlayer());
  EndNode(node);
  EXPECT_EQ(current_record.name.Get(), "Bela");
  game.WriteFile("MARRAGE.DAT", "0\r\n");
  node = LockingNode(game.PathOf("MARRAGE.DAT"), 300);
  ASSERT_GT(node, 0);
  EXPECT_EQ(ReadQuennaSpouse(), 0);
  EndNode(node);
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
    current_record = changed;
    EXPECT_FALSE(SaveCurrentPlayer());
    EXPECT_GE(clock.Reads(), 500) << "gave up before five seconds";
    EXPECT_LE(clock.Reads(), 505) << "kept waiting after five seconds";
    EXPECT_EQ(WritePlayerRecord(player_path, 0, changed), wrBusy);
    EndNode(node);
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), before);
    EXPECT_TRUE(save_pending);
    EXPECT_NE(StripAnsi(output.Bytes())
                  .find("PLAYER.DAT is busy!  The change is kept in memory until the next save."),
              std::string::npos);
    EXPECT_EQ(CurrentFileOpenMode(), fmShared);
  }
}

// While the node holds the file past every wait, nothing moves the editor off its player or ends
// it: [ on the first player, ] on the last and a search say the file is busy (a count read as 0
// used to send [ to record 255 and an I/O error), and Q with a waiting change stays until a second
// Q right after, which says the change is lost. Nothing is written meanwhile.
TEST_F(BlockedSaveTest, WhileTheFileIsHeldTheEditorStaysAndSaysWhy) {
  const std::string stays = "  PLAYER.DAT is busy!  The editor stays on this player.";
  const std::string kept =
      "  PLAYER.DAT is busy!  The change is kept in memory until the next save.";
  const std::string again = "  Press Q again to quit and lose the change.";
  const struct {
    uint8_t player;
    bool change;
    std::string keys;
    bool ended;
    std::string row23, row24;
  } cases[] = {
      {0, false, "[", false, stays, ""},       {2, false, "]", false, stays, ""},
      {1, false, "Ycy\r", false, stays, ""},   {1, true, "Q", false, kept, again},
      {1, true, "QTQ", false, kept, again},    {1, true, "QQ", true, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    StartEditorOn(game, {MakePlayer("Ada", "A", 1), MakePlayer("Bo", "B", 2),
                         MakePlayer("Cy", "C", 3)}, c.player);
    const std::string file = game.ReadFile("PLAYER.DAT");
    const PlayerRecord shown = current_record;
    OutputRecorder output;
    pid_t node = LockingNode(player_path, -1);
    ASSERT_GT(node, 0);
    FakeClock clock(0, 50);  // every wait gives up at once
    if (c.change) {
      current_record.gems = 77;
      SaveCurrentPlayer();
    }
    EXPECT_EQ(LoopEnded(c.keys), c.ended);
    EndNode(node);
    EXPECT_EQ(current_player, c.player);
    EXPECT_EQ(current_record.name.Get(), shown.name.Get());
    EXPECT_EQ(game.ReadFile("PLAYER.DAT"), file);
    EXPECT_EQ(ScreenRow(23), c.row23);
    EXPECT_EQ(ScreenRow(24), c.row24);
    std::string text = StripAnsi(output.Bytes());
    EXPECT_EQ(text.find("Search Error!"), std::string::npos);
    EXPECT_EQ(text.find("Quit without saving:  the change to this player is lost.") !=
                  std::string::npos,
              c.ended);
    if (!c.ended) continue;
    // The credits that follow leave nothing of the notice beside them.
    ShowCredits();
    EXPECT_EQ(FindScreenRow("the next save"), 0);
  }
  // Released before Q: the waiting change is saved and the editor leaves without a word of loss.
  pid_t node = LockingNode(player_path, -1);
  ASSERT_GT(node, 0);
  current_record.gold = 123456;
  const PlayerRecord waiting = current_record;
  {
    FakeClock clock(0, 50);
    EXPECT_FALSE(SaveCurrentPlayer());
  }
  EndNode(node);
  OutputRecorder output;
  EXPECT_TRUE(LoopEnded("Q"));
  EXPECT_EQ(RecordBytes(game.ReadPlayer(1)), RecordBytes(waiting));
  EXPECT_FALSE(save_pending);
  EXPECT_EQ(output.Bytes().find("Quit without saving"), std::string::npos);
}

// MARRAGE.DAT held past the wait: unknown on the main screen, and the marriage editor changes
// nothing, whether asked for Quenna (who would seem free) or for a player (Arno may be Quenna's
// husband).
TEST_F(BlockedSaveTest, AMarriageFileHeldLongerIsUnknownAndNobodyIsMarried) {
  game.WriteFile("MARRAGE.DAT", "0\r\n");
  for (const char* request : {"-2\r", "1\r", "-1\r"}) {
    SCOPED_TRACE(request);
    pid_t node = LockingNode(game.PathOf("MARRAGE.DAT"), -1);
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
  // A marriage file that is no file at all cannot get better by waiting: unknown at once.
  game.MakeDir("MARBARD.DAT");
  FakeClock clock(0, 100);
  EXPECT_EQ(ReadDaskSpouse(), kSpouseUnknown);
  EXPECT_LT(clock.Reads(), 5);
}

// Writers in four processes append news entries at once; every entry of each arrives whole.
TEST(ConcurrentAppendTest, ProcessesAppendingAtOnceLoseNoLine) {
  TempGameDir game;
  EditorStateReset();
  game_dir = game.Dir();
  constexpr int kWriters = 4, kEntries = 250;
  auto entry = [](int writer, int i) {
    return "Writer" + std::to_string(writer) + "-" + std::to_string(i);
  };
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> writers;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      char start = 0;
      if (read(go[0], &start, 1) == 1)
        for (int i = 0; i < kEntries; ++i) NewsMarriage(entry(w, i), "Kelda");
      _exit(0);
    }
    writers.push_back(pid);
  }
  ASSERT_EQ(write(go[1], std::string(kWriters, 'G').data(), kWriters), kWriters);  // all at once
  for (pid_t pid : writers) waitpid(pid, nullptr, 0);
  close(go[0]);
  close(go[1]);
  std::string news = game.ReadFile("LOGNOW.TXT");
  size_t expected_size = 0;
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kEntries; ++i) {
      std::string line =
          "  `$" + entry(w, i) + " `0was `$Married to Kelda `0today by the Sysop.\r\n";
      ASSERT_EQ(CountOf(news, line), 1u) << line;
      expected_size += line.size() + 56;  // and the separator line with its CR LF
    }
  }
  EXPECT_EQ(news.size(), expected_size);
}

}  // namespace
