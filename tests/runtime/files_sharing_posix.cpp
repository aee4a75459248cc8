// The POSIX side of the open modes (advisory locks), of another process holding a file, and of the
// case-insensitive game-file lookup.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "runtime/files.h"
#include "scratch_dir.h"

namespace {

class FilesPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFileOpenMode(fmExclusive);
    scratch.Write("PLAYER.DAT", std::string(236, 'p'));
    path = scratch.PathOf("PLAYER.DAT");
  }
  void TearDown() override { SetFileOpenMode(fmShared); }
  bool OpenIn(uint8_t mode, OsFile& file, FileAccess access = faReadWrite) {
    SetFileOpenMode(mode);
    return FileOpen(file, path, access);
  }
  ScratchDir scratch;
  std::string path;
};

// The shared mode takes no lock, so it neither waits for a lock nor keeps anyone out.
TEST_F(FilesPosixTest, SharedOpensIgnoreTheExclusiveLock) {
  OsFile exclusive, shared;
  ASSERT_TRUE(OpenIn(fmExclusive, exclusive));
  EXPECT_TRUE(OpenIn(fmShared, shared));
  FileClose(exclusive);
  EXPECT_TRUE(OpenIn(fmExclusive, exclusive));
}

// A read-only descriptor can only hold a read lock: exclusive readers share, writers stay out.
TEST_F(FilesPosixTest, ExclusiveReadersShareButKeepWritersOut) {
  OsFile reader, second_reader, writer;
  ASSERT_TRUE(OpenIn(fmExclusive, reader, faRead));
  EXPECT_TRUE(OpenIn(fmExclusive, second_reader, faRead));
  EXPECT_FALSE(OpenIn(fmExclusive, writer));
  FileClose(reader);
  FileClose(second_reader);
  ASSERT_TRUE(OpenIn(fmExclusive, writer));
  EXPECT_FALSE(OpenIn(fmExclusive, reader, faRead));
}

// The child holds the file exclusively until the parent lets it go; the pipes say when.
TEST_F(FilesPosixTest, AFileHeldByAnotherProcessCannotBeOpenedUntilReleased) {
  int held[2], release[2];
  ASSERT_EQ(pipe(held), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    OsFile file;
    char state = FileOpen(file, path, faReadWrite) ? 'H' : 'F';
    char go = 0;
    bool told = write(held[1], &state, 1) == 1 && read(release[0], &go, 1) >= 0;
    FileClose(file);
    _exit(told ? 0 : 1);
  }
  close(held[1]);
  close(release[0]);
  char state = 0;
  ASSERT_EQ(read(held[0], &state, 1), 1);
  EXPECT_EQ(state, 'H');
  OsFile file;
  EXPECT_FALSE(FileOpen(file, path, faReadWrite));
  EXPECT_NE(FileLastError(), 0);
  char go = 'R';
  EXPECT_EQ(write(release[1], &go, 1), 1);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(FileOpen(file, path, faReadWrite));
  close(held[0]);
  close(release[1]);
}

TEST(GameFilePathPosix, FindsTheGamesOwnSpelling) {
  ScratchDir scratch;
  scratch.Write("player.dat", "");
  scratch.Write("Mail3.Dat", "");
  scratch.Write("LOGNOW.TXT", "");
  scratch.Write("lognow.txt", "");
  struct Case {
    const char* asked;
    const char* found;
  };
  for (Case c : {Case{"PLAYER.DAT", "player.dat"}, Case{"MAIL3.DAT", "Mail3.Dat"},
                 Case{"LOGNOW.TXT", "LOGNOW.TXT"}, Case{"lognow.txt", "lognow.txt"},
                 Case{"MARRAGE.DAT", "MARRAGE.DAT"}, Case{"PLAYER.DA", "PLAYER.DA"}}) {
    EXPECT_EQ(GameFilePath(scratch.Dir(), c.asked), scratch.PathOf(c.found)) << c.asked;
  }
}

TEST(GameFilePathPosix, AnEmptyDirectoryMeansTheWorkingDirectory) {
  ScratchDir scratch;
  scratch.Write("zorvan32.cfg", "");
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(scratch.Dir());
  std::string found = GameFilePath("", "ZORVAN32.CFG");
  std::string missing = GameFilePath("", "TIME.DAT");
  std::filesystem::current_path(before);
  EXPECT_EQ(found, "zorvan32.cfg");
  EXPECT_EQ(missing, "TIME.DAT");
}

TEST(PathsPosix, TheSeparatorIsASlash) {
  EXPECT_EQ(PathSeparator(), '/');
  EXPECT_TRUE(PathEndsInSeparator("/games/varn/"));
  EXPECT_FALSE(PathEndsInSeparator("/games/varn"));
  EXPECT_FALSE(PathEndsInSeparator("C:"));
  EXPECT_FALSE(PathEndsInSeparator(""));
}

}  // namespace
