#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "door/helpers.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

TEST(StringHelpers, UpperCaseAndCommas) {
  EXPECT_EQ(UpperStr("abz AZ 09 {`~} \x82\xe9"), "ABZ AZ 09 {`~} \x82\xe9");
  const std::vector<std::pair<int64_t, std::string>> cases = {
      {999, "999"}, {1000, "1,000"}, {-123456, "-123,456"}, {INT32_MIN, "-2,147,483,648"}};
  for (const auto& [value, commas] : cases) EXPECT_EQ(IntToStrCommas(value), commas);
}

TEST(StringHelpers, StrToIntLeadTakesTheLeadingNumberAndWholeTheWholeText) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {" 12abc", 12}, {"abc", 0}, {"-7 apples", -7}, {"- 5", 0}, {"-$10", -16}, {"$", 0},
      {"3000000000", INT32_MAX}, {"-2147483649", INT32_MIN}, {"$FFFFFFFFF", INT32_MAX},  // clamps
  };
  for (const auto& [text, value] : cases)
    EXPECT_EQ(StrToIntLead(text), value) << '"' << text << '"';
  // The whole text or nothing.
  int32_t value = -99;
  EXPECT_TRUE(StrToIntWhole(" -$1F", value));
  EXPECT_EQ(value, -31);
  for (const char* bad : {"12 ", "12a", "", "-", "3000000000"})
    EXPECT_FALSE(StrToIntWhole(bad, value)) << bad;
  EXPECT_EQ(value, -31);  // untouched when the text is no number
}

// Deleting files is seen in the new day and the marriage editor; a directory is no file to delete.
TEST(FileHelpers, ADirectoryIsNotDeleted) {
  TempGameDir dir;
  dir.MakeDir("MARRAGE.DAT");
  DeleteFileIfExists(dir.PathOf("MARRAGE.DAT"));
  EXPECT_TRUE(FileExists(dir.PathOf("MARRAGE.DAT")));
}

TEST(FileHelpers, WriteTextLineCreatesAppendsReplacesOrEnds) {
  TempGameDir dir;
  WriteTextLine("first", dir.PathOf("LOGNOW.TXT"), false);
  WriteTextLine("", dir.PathOf("LOGNOW.TXT"), false);
  WriteTextLine("third", dir.PathOf("LOGNOW.TXT"), false);
  EXPECT_EQ(dir.ReadFile("LOGNOW.TXT"), "first\r\n\r\nthird\r\n");
  WriteTextLine("fresh", dir.PathOf("LOGNOW.TXT"), true);
  EXPECT_EQ(dir.ReadFile("LOGNOW.TXT"), "fresh\r\n");

  // A failure runs the exit steps once, then reports the file and the OS's reason on one line.
  InstallHaltCatcher();
  ExitProc = [] { std::fputs("[exit step]", stderr), ExitProc = nullptr; };
  const std::string unreachable = dir.PathOf("no-such-dir/LOGNOW.TXT");
  testing::internal::CaptureStderr();
  EXPECT_EQ(HaltCodeOf([&] { WriteTextLine("x", unreachable, false); }), kRunErrorExitCode);
  EXPECT_EQ(HaltCodeOf([] { Halt(0); }), 0);  // the report is not repeated
  const std::string report = testing::internal::GetCapturedStderr();
  const std::string start = "[exit step]zorvan32: I/O error on " + unreachable + ": ";
  EXPECT_EQ(report.rfind(start, 0), 0u) << report;
  EXPECT_EQ(report.find('\n'), report.size() - 1) << report;
  EXPECT_NE(RunErrorText("PLAYER.DAT", 0).find("end of file"), std::string::npos);  // a short read
}

}  // namespace
