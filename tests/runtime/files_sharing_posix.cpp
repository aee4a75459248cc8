// The POSIX side of the open modes (advisory locks) against a game node in another process, and
// the case-insensitive game-file lookup.
#include <gtest/gtest.h>

#include <string>

#include "fakes/game_fixture.h"
#include "fakes/lock_node.h"
#include "runtime/files.h"

namespace {

// Every lock a native node may use keeps our exclusive open out, and ours keeps each of them out.
TEST(FilesPosixTest, NodeLocksAndTheExclusiveOpenKeepEachOtherOut) {
  TempGameDir scratch;
  scratch.WriteFile("PLAYER.DAT", std::string(236, 'p'));
  const std::string path = scratch.PathOf("PLAYER.DAT");
  for (const char* kind : {"exclusive", "record", "ofd", "flock"}) {
    SCOPED_TRACE(kind);
    OsFile file;
    {
      LockNode node(kind, path);
      ASSERT_TRUE(node.Held()) << node.Said();
      SetFileOpenMode(fmExclusive);
      for (FileAccess access : {faReadWrite, faRead}) {
        EXPECT_FALSE(FileOpen(file, path, access));
        EXPECT_TRUE(FileErrorIsSharingConflict(FileLastError())) << FileLastError();
      }
      EXPECT_FALSE(FileCreateEmpty(path));
      SetFileOpenMode(fmShared);
      EXPECT_TRUE(FileOpen(file, path, faReadWrite));
      // Our appenders' lock: the node's lock keeps it out without the open being refused.
      ASSERT_TRUE(FileOpen(file, path, faAppend));
      EXPECT_FALSE(FileLockWriters(file));
      EXPECT_TRUE(FileErrorIsSharingConflict(FileLastError()));
      FileClose(file);
      EXPECT_EQ(node.Release(), 0);
    }
    SetFileOpenMode(fmExclusive);
    for (FileAccess access : {faReadWrite, faRead}) {
      ASSERT_TRUE(FileOpen(file, path, access));
      LockNode late(kind, path);
      EXPECT_EQ(late.Said(), "busy");
      EXPECT_EQ(late.Release(), 1);
      FileClose(file);
    }
    SetFileOpenMode(fmShared);
  }
  EXPECT_EQ(scratch.ReadFile("PLAYER.DAT"), std::string(236, 'p'));
}

// Our lock belongs to the open that took it: closing another descriptor of the same file in this
// process (as a shared open does) must not drop it, as it would drop a classic record lock.
TEST(FilesPosixTest, ClosingAnotherOpenOfTheFileKeepsTheLock) {
  TempGameDir scratch;
  scratch.WriteFile("PLAYER.DAT", "p");
  const std::string path = scratch.PathOf("PLAYER.DAT");
  OsFile held, other;
  SetFileOpenMode(fmExclusive);
  ASSERT_TRUE(FileOpen(held, path, faReadWrite));
  SetFileOpenMode(fmShared);
  ASSERT_TRUE(FileOpen(other, path, faRead));
  FileClose(other);
  for (const char* kind : {"record", "flock"}) EXPECT_EQ(LockNode(kind, path).Said(), "busy") << kind;
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
