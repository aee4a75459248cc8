// The POSIX side of the open modes (advisory locks) against a game node's lock, and the
// case-insensitive game-file lookup. The node's open is another open of the file in this process:
// OFD locks and flocks meet there as across processes, and OFD locks meet classic record locks.
#include <gtest/gtest.h>

#include <string>

#include "fakes/game_fixture.h"
#include "runtime/files.h"

namespace {

// Every lock a native node may use keeps our exclusive open out, and ours keeps each of them out.
TEST(FilesPosixTest, NodeLocksAndTheExclusiveOpenKeepEachOtherOut) {
  TempGameDir scratch;
  scratch.WriteFile("PLAYER.DAT", std::string(236, 'p'));
  const std::string path = scratch.PathOf("PLAYER.DAT");
  for (FileLockKind kind : {lkRecord, lkOfd, lkFlock}) {
    SCOPED_TRACE(static_cast<int>(kind));
    OsFile file, node;
    // The node's lock afresh for each open: any close in this process drops a classic record lock.
    for (FileAccess access : {faReadWrite, faRead, faAppend}) {
      ASSERT_TRUE(FileOpenLockedAs(node, path, kind));
      SetFileOpenMode(access == faAppend ? fmShared : fmExclusive);
      // Our appenders' lock: the node's lock keeps it out without the open being refused.
      EXPECT_TRUE(access == faAppend ? FileOpen(file, path, access) && !FileLockWriters(file)
                                     : !FileOpen(file, path, access));
      EXPECT_TRUE(FileErrorIsSharingConflict(FileLastError())) << FileLastError();
    }
    FileClose(node);
    SetFileOpenMode(fmExclusive);
    for (FileAccess access : {faReadWrite, faRead}) {
      ASSERT_TRUE(FileOpen(file, path, access));
      EXPECT_FALSE(FileOpenLockedAs(node, path, kind));
      EXPECT_TRUE(FileErrorIsSharingConflict(FileLastError()));
    }
    SetFileOpenMode(fmShared);
  }
  EXPECT_EQ(scratch.ReadFile("PLAYER.DAT"), std::string(236, 'p'));
}

TEST(FilesPosixTest, GameFilesAreFoundInTheirOwnSpelling) {
  TempGameDir scratch;
  for (const char* name : {"LOGNOW.TXT", "lognow.txt"}) scratch.WriteFile(name, "");
  // An exact spelling comes first; a missing file keeps the name asked for.
  EXPECT_EQ(GameFilePath(scratch.Dir(), "lognow.txt"), scratch.PathOf("lognow.txt"));
  EXPECT_EQ(GameFilePath(scratch.Dir(), "MARRAGE.DAT"), scratch.PathOf("MARRAGE.DAT"));
}

}  // namespace
