#include <gtest/gtest.h>

#include <string>

#include "fakes/game_fixture.h"
#include "runtime/files.h"

namespace {

constexpr int64_t kRecord = 236;

std::string RecordOf(char fill) {
  std::string record(kRecord, fill);
  record[0] = '\0';  // NUL and ^Z must pass through untouched
  record[1] = '\x1a';
  return record;
}

TEST(FilesTest, RecordsAtTheirOffsetsAndAShortReadIsTheEndOfTheFile) {
  TempGameDir scratch;
  OsFile file;
  ASSERT_TRUE(FileOpen(file, scratch.PathOf("PLAYER.DAT"), faReadWrite, true));
  for (int n : {2, 0, 1})
    ASSERT_TRUE(FileWriteAt(file, n * kRecord, RecordOf(char('a' + n)).data(), kRecord));
  EXPECT_EQ(FileLength(file), 3 * kRecord);
  std::string record(kRecord, '?');
  ASSERT_TRUE(FileReadAt(file, kRecord, record.data(), kRecord));
  EXPECT_EQ(record, RecordOf('b'));
  // At the end and a short record: both fail with error 0, which the report calls an end of file.
  for (int64_t offset : {3 * kRecord, 2 * kRecord + 1}) {
    EXPECT_FALSE(FileReadAt(file, offset, record.data(), kRecord));
    EXPECT_EQ(FileLastError(), 0);
  }
  ASSERT_TRUE(FileWriteAt(file, kRecord, RecordOf('z').data(), kRecord));
  FileClose(file);
  EXPECT_EQ(scratch.ReadFile("PLAYER.DAT"), RecordOf('a') + RecordOf('z') + RecordOf('c'));
}

}  // namespace
