#include <gtest/gtest.h>

#include <string>

#include "runtime/files.h"
#include "scratch_dir.h"

namespace {

constexpr size_t kRecord = 236;

std::string RecordOf(char fill) {
  std::string record(kRecord, fill);
  record[0] = '\0';  // NUL and ^Z must pass through untouched
  record[1] = '\x1a';
  return record;
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFileOpenMode(fmExclusive); }
  void TearDown() override { SetFileOpenMode(fmShared); }
  ScratchDir scratch;
};

TEST_F(FilesTest, RecordsAreWrittenAndReadAtTheirOffsets) {
  std::string path = scratch.PathOf("PLAYER.DAT");
  OsFile file;
  ASSERT_TRUE(FileOpen(file, path, faReadWrite, true));
  for (int n : {2, 0, 1}) {
    ASSERT_TRUE(FileWriteAt(file, n * int64_t{kRecord}, RecordOf(static_cast<char>('a' + n)).data(), kRecord));
  }
  EXPECT_EQ(FileLength(file), 3 * int64_t{kRecord});
  std::string record(kRecord, '?');
  ASSERT_TRUE(FileReadAt(file, kRecord, record.data(), kRecord));
  EXPECT_EQ(record, RecordOf('b'));
  // Rewriting the middle record leaves its neighbours alone.
  ASSERT_TRUE(FileWriteAt(file, kRecord, RecordOf('z').data(), kRecord));
  FileClose(file);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(scratch.Read("PLAYER.DAT"), RecordOf('a') + RecordOf('z') + RecordOf('c'));
}

TEST_F(FilesTest, AShortReadFailsWithErrorZero) {
  scratch.Write("PLAYER.DAT", std::string(kRecord + 1, 'x'));  // one record and a stray byte
  OsFile file;
  ASSERT_TRUE(FileOpen(file, scratch.PathOf("PLAYER.DAT"), faRead));
  std::string record(kRecord, '?');
  struct Case {
    int64_t offset;
    bool ok;
  };
  for (Case c : {Case{0, true}, Case{kRecord, false}, Case{2 * kRecord, false}, Case{1, true}, Case{2, false}}) {
    SCOPED_TRACE(c.offset);
    EXPECT_EQ(FileReadAt(file, c.offset, record.data(), kRecord), c.ok);
    if (!c.ok) {
      EXPECT_EQ(FileLastError(), 0);
    }
  }
}

TEST_F(FilesTest, TruncateAndReadAll) {
  scratch.Write("MAIL1.DAT", "line one\r\nline two\r\n");
  OsFile file;
  ASSERT_TRUE(FileOpen(file, scratch.PathOf("MAIL1.DAT"), faReadWrite));
  std::string all = "stale";
  ASSERT_TRUE(FileReadAll(file, all));
  EXPECT_EQ(all, "line one\r\nline two\r\n");
  ASSERT_TRUE(FileTruncate(file, 8));
  EXPECT_EQ(FileLength(file), 8);
  ASSERT_TRUE(FileReadAll(file, all));
  EXPECT_EQ(all, "line one");
  ASSERT_TRUE(FileTruncate(file, 0));
  ASSERT_TRUE(FileReadAll(file, all));
  EXPECT_EQ(all, "");
}

TEST_F(FilesTest, OpenWithoutCreateNeedsTheFileAndCreateKeepsAnExistingOne) {
  std::string path = scratch.PathOf("TIME.DAT");
  OsFile file;
  EXPECT_FALSE(FileOpen(file, path, faReadWrite));
  EXPECT_NE(FileLastError(), 0);
  EXPECT_FALSE(PathExists(path));
  scratch.Write("TIME.DAT", "12\r\n");
  ASSERT_TRUE(FileOpen(file, path, faReadWrite, true));
  EXPECT_EQ(FileLength(file), 4);
}

TEST_F(FilesTest, CreateEmptyMakesOrTruncates) {
  ASSERT_TRUE(FileCreateEmpty(scratch.PathOf("LOGNOW.TXT")));
  EXPECT_TRUE(PathExists(scratch.PathOf("LOGNOW.TXT")));
  EXPECT_EQ(scratch.Read("LOGNOW.TXT"), "");
  scratch.Write("LOGNOW.TXT", "old news\r\n");
  ASSERT_TRUE(FileCreateEmpty(scratch.PathOf("LOGNOW.TXT")));
  EXPECT_EQ(scratch.Read("LOGNOW.TXT"), "");
}

TEST_F(FilesTest, CreateEmptyLeavesAFileThatIsHeldExclusively) {
  scratch.Write("LOGNOW.TXT", "news\r\n");
  OsFile holder;
  ASSERT_TRUE(FileOpen(holder, scratch.PathOf("LOGNOW.TXT"), faReadWrite));
  EXPECT_FALSE(FileCreateEmpty(scratch.PathOf("LOGNOW.TXT")));
  EXPECT_NE(FileLastError(), 0);
  FileClose(holder);
  EXPECT_EQ(scratch.Read("LOGNOW.TXT"), "news\r\n");
}

TEST_F(FilesTest, RemoveDeletesAndReportsAMissingFile) {
  scratch.Write("NodeOn.3", "x");
  EXPECT_TRUE(FileRemove(scratch.PathOf("NodeOn.3")));
  EXPECT_FALSE(PathExists(scratch.PathOf("NodeOn.3")));
  EXPECT_FALSE(FileRemove(scratch.PathOf("NodeOn.3")));
  EXPECT_NE(FileLastError(), 0);
}

TEST_F(FilesTest, ExistenceCoversFilesAndDirectories) {
  scratch.Write("VARN.EXE", "");
  std::string dir = scratch.Dir();
  dir.pop_back();  // without its trailing separator
  struct Case {
    std::string path;
    bool exists, directory;
  };
  for (const Case& c : {Case{scratch.PathOf("VARN.EXE"), true, false}, Case{dir, true, true},
                        Case{scratch.Dir(), true, true}, Case{scratch.PathOf("MISSING.DAT"), false, false},
                        Case{"", false, false}}) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(PathExists(c.path), c.exists);
    EXPECT_EQ(PathIsDirectory(c.path), c.directory);
  }
}

TEST_F(FilesTest, ASecondExclusiveOpenFailsUntilTheFirstIsClosed) {
  std::string path = scratch.PathOf("PLAYER.DAT");
  scratch.Write("PLAYER.DAT", RecordOf('a'));
  OsFile first, second;
  ASSERT_TRUE(FileOpen(first, path, faReadWrite));
  EXPECT_FALSE(FileOpen(second, path, faReadWrite));
  EXPECT_NE(FileLastError(), 0);
  EXPECT_FALSE(second.IsOpen());
  FileClose(first);
  EXPECT_TRUE(FileOpen(second, path, faReadWrite));
}

TEST_F(FilesTest, AnOsFileReleasesItsFileWhenDestroyedOrReplaced) {
  std::string path = scratch.PathOf("PLAYER.DAT");
  scratch.Write("PLAYER.DAT", RecordOf('a'));
  OsFile other;
  {
    OsFile first;
    ASSERT_TRUE(FileOpen(first, path, faReadWrite));
    OsFile moved(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_FALSE(FileOpen(other, path, faReadWrite));  // the move kept the file held
  }
  ASSERT_TRUE(FileOpen(other, path, faReadWrite));
  other = OsFile();  // assigning over an open file closes it
  OsFile again;
  EXPECT_TRUE(FileOpen(again, path, faReadWrite));
}

TEST_F(FilesTest, SharedOpensDoNotExcludeEachOther) {
  SetFileOpenMode(fmShared);
  std::string path = scratch.PathOf("PLAYER.DAT");
  scratch.Write("PLAYER.DAT", RecordOf('a'));
  OsFile first, second;
  ASSERT_TRUE(FileOpen(first, path, faReadWrite));
  ASSERT_TRUE(FileOpen(second, path, faReadWrite));
  // Both see one file: what one writes, the other reads.
  ASSERT_TRUE(FileWriteAt(first, 0, RecordOf('q').data(), kRecord));
  std::string record(kRecord, '?');
  ASSERT_TRUE(FileReadAt(second, 0, record.data(), kRecord));
  EXPECT_EQ(record, RecordOf('q'));
}

TEST(FilesErrorText, NamesTheErrorOnOneLine) {
  OsFile file;
  ASSERT_FALSE(FileOpen(file, "no-such-dir-zorvan/PLAYER.DAT", faRead));
  std::string text = OsErrorText(FileLastError());
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

}  // namespace
