// The Windows side of the open modes: share mode 0 against every other opener.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "fakes/game_fixture.h"
#include "runtime/files.h"

namespace {

// An exclusive open keeps out a shared opener, and is itself refused while the file is open.
TEST(FilesWin32Test, AnExclusiveOpenExcludesEveryOtherOpener) {
  TempGameDir scratch;
  scratch.WriteFile("PLAYER.DAT", "p");
  std::string path = scratch.PathOf("PLAYER.DAT");
  OsFile exclusive, other;
  SetFileOpenMode(fmExclusive);
  ASSERT_TRUE(FileOpen(exclusive, path, faRead));
  SetFileOpenMode(fmShared);
  EXPECT_FALSE(FileOpen(other, path, faReadWrite));
  EXPECT_EQ(FileLastError(), ERROR_SHARING_VIOLATION);
  FileClose(exclusive);
  ASSERT_TRUE(FileOpen(other, path, faReadWrite));
  SetFileOpenMode(fmExclusive);
  EXPECT_FALSE(FileOpen(exclusive, path, faReadWrite));
}

}  // namespace
