#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

struct Halted {
  int code;
};
[[noreturn]] void ThrowHalted(int code) { throw Halted{code}; }

// Three steps installed the usual way: each keeps the step it replaced and puts it back. Each
// writes its letter to stderr, where the error report must come after them.
ExitProcedure saved[3];
template <int N>
void Step() {
  std::fputc('A' + N, stderr);
  ExitProc = saved[N];
}
void InstallSteps() {
  int n = 0;
  for (ExitProcedure step : {&Step<0>, &Step<1>, &Step<2>}) saved[n++] = ExitProc, ExitProc = step;
}

// The code that reached the hook, or -1.
int HaltCode(void (*run)()) {
  try {
    run();
  } catch (const Halted& halted) {
    return halted.code;
  }
  return -1;
}

class HaltTest : public ::testing::Test {
 protected:
  void SetUp() override { ExitProc = nullptr, SetHaltHook(&ThrowHalted); }
  void TearDown() override { SetHaltHook(nullptr), ExitProc = nullptr; }
};

int last_error = 0;
const std::string kMissing = "no-such-dir-zorvan/TIME.DAT";

TEST_F(HaltTest, RunsTheExitStepsOnceAndReportsAnErrorAfterThem) {
  OsFile file;
  ASSERT_FALSE(FileOpen(file, kMissing, faRead));
  last_error = FileLastError();
  std::string report = RunErrorText(kMissing, last_error);
  EXPECT_NE(report.find(kMissing), std::string::npos);
  EXPECT_NE(report.find(OsErrorText(last_error)), std::string::npos);
  EXPECT_EQ(report.find_first_of("\r\n"), std::string::npos);
  EXPECT_NE(RunErrorText("PLAYER.DAT", 0).find("end of file"), std::string::npos);  // a short read

  ::testing::internal::CaptureStderr();
  InstallSteps();
  EXPECT_EQ(HaltCode([] { Halt(7); }), 7);
  EXPECT_EQ(ExitProc, nullptr);
  InstallSteps();
  EXPECT_EQ(HaltCode([] { RunError(kMissing, last_error); }), kRunErrorExitCode);
  EXPECT_EQ(HaltCode([] { Halt(0); }), 0);  // the chain is used up, the report not repeated
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "CBACBA" + report + "\n");
}

}  // namespace
