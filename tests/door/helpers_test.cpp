#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "door/helpers.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

// Padding and repeating are seen whole on the status line and the extended screen.
TEST(StringHelpers, UpperCaseAndCommas) {
  EXPECT_EQ(UpperStr("abz AZ 09 {`~} \x82\xe9"), "ABZ AZ 09 {`~} \x82\xe9");
  const std::vector<std::pair<int64_t, std::string>> cases = {
      {999, "999"}, {1000, "1,000"}, {-100, "-100"}, {-123456, "-123,456"}, {1234567, "1,234,567"},
      {INT32_MIN, "-2,147,483,648"},
  };
  for (const auto& [value, commas] : cases) EXPECT_EQ(IntToStrCommas(value), commas);
}

TEST(StringHelpers, StrToIntLeadTakesTheLeadingNumber) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"12abc", 12}, {"abc", 0}, {"", 0}, {" 12abc", 12}, {"+5", 5}, {"-7 apples", -7}, {"- 5", 0},
      {"$1fg", 31}, {"-$10", -16}, {"$", 0}, {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"3000000000", INT32_MAX}, {"-2147483649", INT32_MIN},  // clamps
      {"99999999999999999999999999", INT32_MAX}, {"$FFFFFFFFF", INT32_MAX},
  };
  for (const auto& [text, value] : cases)
    EXPECT_EQ(StrToIntLead(text), value) << '"' << text << '"';
}

TEST(StringHelpers, StrToIntWholeNeedsTheWholeText) {
  int32_t value = -99;
  EXPECT_TRUE(StrToIntWhole(" -$1F", value));
  EXPECT_EQ(value, -31);
  for (const char* bad : {"12 ", "12a", "", "-", "3000000000"})
    EXPECT_FALSE(StrToIntWhole(bad, value)) << bad;
  EXPECT_EQ(value, -31);  // untouched when the text is no number
}

TEST(StringHelpers, AddBackslashAppendsThePlatformSeparatorOnce) {
  const std::string s(1, PathSeparator());
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("game"), "game" + s);
  EXPECT_EQ(AddBackslash("game" + s), "game" + s);
  // A drive letter or a backslash means something only on Windows.
  EXPECT_EQ(AddBackslash("C:"), s == "\\" ? "C:" : "C:/");
  EXPECT_EQ(AddBackslash("odd\\"), s == "\\" ? "odd\\" : "odd\\/");
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
  WriteTextLine("new", dir.PathOf("MAIL7.DAT"), true);  // replacing a missing file creates it
  EXPECT_EQ(dir.ReadFile("MAIL7.DAT"), "new\r\n");

  InstallHaltCatcher();  // a failure ends the program with the I/O report
  const std::string unreachable = dir.PathOf("no-such-dir/LOGNOW.TXT");
  testing::internal::CaptureStderr();
  EXPECT_EQ(HaltCodeOf([&] { WriteTextLine("x", unreachable, false); }), kRunErrorExitCode);
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find(unreachable), std::string::npos) << report;
}

}  // namespace
