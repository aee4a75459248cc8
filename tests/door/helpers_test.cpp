#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "door/helpers.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

// What no screen or drop file shows: negative commas, lower-case hex.
TEST(StringHelpers, NegativeCommasAndLowerCaseHex) {
  EXPECT_EQ(IntToStrCommas(-123456), "-123,456");
  EXPECT_EQ(IntToStrCommas(INT32_MIN), "-2,147,483,648");
  EXPECT_EQ(StrToIntLead("-$1fz"), -31);
}

// Deleting files is seen in the new day and the marriage editor; a directory is no file to delete.
TEST(FileHelpers, WriteTextLineAppendsOrReplacesAndAFailureEndsOnce) {
  TempGameDir dir;
  dir.MakeDir("MARRAGE.DAT");
  DeleteFileIfExists(dir.PathOf("MARRAGE.DAT"));
  EXPECT_TRUE(FileExists(dir.PathOf("MARRAGE.DAT")));
  for (const char* line : {"first", "", "third"}) WriteTextLine(line, dir.PathOf("LOG.TXT"), false);
  EXPECT_EQ(dir.ReadFile("LOG.TXT"), "first\r\n\r\nthird\r\n");
  WriteTextLine("fresh", dir.PathOf("LOG.TXT"), true);
  EXPECT_EQ(dir.ReadFile("LOG.TXT"), "fresh\r\n");

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
