// The POSIX side of the open modes (advisory locks), of another process holding a file, and of the
// case-insensitive game-file lookup.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "fakes/game_fixture.h"
#include "runtime/files.h"

namespace {

// The child holds the file exclusively until the parent lets it go; a socket pair says when.
TEST(FilesPosixTest, AFileHeldByAnotherProcessCannotBeOpenedUntilReleased) {
  TempGameDir scratch;
  scratch.WriteFile("PLAYER.DAT", std::string(236, 'p'));
  std::string path = scratch.PathOf("PLAYER.DAT");
  SetFileOpenMode(fmExclusive);
  int link[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, link), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    OsFile file;
    char state = FileOpen(file, path, faReadWrite) ? 'H' : 'F';
    bool told = write(link[1], &state, 1) == 1 && read(link[1], &state, 1) == 1;
    _exit(told ? 0 : 1);
  }
  char state = 0;
  ASSERT_EQ(read(link[0], &state, 1), 1);
  EXPECT_EQ(state, 'H');
  OsFile file;
  EXPECT_FALSE(FileOpen(file, path, faReadWrite));
  EXPECT_NE(FileLastError(), 0);
  EXPECT_FALSE(FileOpen(file, path, faRead));  // a read lock conflicts with the writer's too
  SetFileOpenMode(fmShared);  // takes no lock, so it is not kept out
  EXPECT_TRUE(FileOpen(file, path, faReadWrite));
  FileClose(file);
  EXPECT_EQ(write(link[0], "R", 1), 1);
  close(link[0]);
  close(link[1]);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  SetFileOpenMode(fmExclusive);
  EXPECT_TRUE(FileOpen(file, path, faReadWrite));
  SetFileOpenMode(fmShared);
}

TEST(FilesPosixTest, GameFilesAreFoundInTheirOwnSpelling) {
  TempGameDir scratch;
  for (const char* name : {"Mail3.Dat", "LOGNOW.TXT", "lognow.txt"}) scratch.WriteFile(name, "");
  EXPECT_EQ(GameFilePath(scratch.Dir(), "MAIL3.DAT"), scratch.PathOf("Mail3.Dat"));
  // An exact spelling comes first; a missing file keeps the name asked for.
  EXPECT_EQ(GameFilePath(scratch.Dir(), "LOGNOW.TXT"), scratch.PathOf("LOGNOW.TXT"));
  EXPECT_EQ(GameFilePath(scratch.Dir(), "lognow.txt"), scratch.PathOf("lognow.txt"));
  EXPECT_EQ(GameFilePath(scratch.Dir(), "MARRAGE.DAT"), scratch.PathOf("MARRAGE.DAT"));
}

}  // namespace
