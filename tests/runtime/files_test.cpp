#include <gtest/gtest.h>

#include <string>

#include "fakes/game_fixture.h"
#include "runtime/files.h"

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
  TempGameDir scratch;
  std::string path = scratch.PathOf("PLAYER.DAT");
};

TEST_F(FilesTest, RecordsAreWrittenAndReadAtTheirOffsets) {
  OsFile file;
  EXPECT_FALSE(FileOpen(file, path, faReadWrite));  // without create the file must exist
  EXPECT_NE(FileLastError(), 0);
  ASSERT_TRUE(FileOpen(file, path, faReadWrite, true));
  for (int n : {2, 0, 1}) {
    ASSERT_TRUE(FileWriteAt(file, n * int64_t{kRecord}, RecordOf(char('a' + n)).data(), kRecord));
  }
  EXPECT_EQ(FileLength(file), 3 * int64_t{kRecord});
  std::string record(kRecord, '?');
  ASSERT_TRUE(FileReadAt(file, kRecord, record.data(), kRecord));
  EXPECT_EQ(record, RecordOf('b'));
  // At the end and a short record: both fail with error 0, which the report calls an end of file.
  for (int64_t offset : {3 * int64_t{kRecord}, 2 * int64_t{kRecord} + 1}) {
    EXPECT_FALSE(FileReadAt(file, offset, record.data(), kRecord));
    EXPECT_EQ(FileLastError(), 0);
  }
  ASSERT_TRUE(FileWriteAt(file, kRecord, RecordOf('z').data(), kRecord));
  FileClose(file);
  EXPECT_EQ(scratch.ReadFile("PLAYER.DAT"), RecordOf('a') + RecordOf('z') + RecordOf('c'));
}

TEST_F(FilesTest, ASecondExclusiveOpenFailsUntilTheFirstIsReleased) {
  scratch.WriteFile("PLAYER.DAT", RecordOf('a'));
  OsFile second;
  {
    OsFile first;
    ASSERT_TRUE(FileOpen(first, path, faReadWrite));
    OsFile moved(std::move(first));  // the move keeps the file held
    EXPECT_FALSE(FileOpen(second, path, faReadWrite));
    EXPECT_NE(FileLastError(), 0);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_FALSE(FileCreateEmpty(path));
  }
  EXPECT_TRUE(FileOpen(second, path, faReadWrite));
  FileClose(second);
  EXPECT_EQ(scratch.ReadFile("PLAYER.DAT"), RecordOf('a'));  // not emptied
}

}  // namespace
