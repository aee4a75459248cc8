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

// What the exit steps did, in order.
std::string trace;

// Three steps installed the usual way: each keeps the step it replaced and puts it back.
ExitProcedure saved_a = nullptr, saved_b = nullptr, saved_c = nullptr;
void StepA() {
  trace += "A";
  ExitProc = saved_a;
}
void StepB() {
  trace += "B";
  std::fputs("terminal restored\n", stderr);
  ExitProc = saved_b;
}
void StepC() {
  trace += "C";
  ExitProc = saved_c;
}
void InstallSteps() {
  saved_a = ExitProc;
  ExitProc = &StepA;
  saved_b = ExitProc;
  ExitProc = &StepB;
  saved_c = ExitProc;
  ExitProc = &StepC;
}

class HaltTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace.clear();
    ExitProc = nullptr;
    SetHaltHook(&ThrowHalted);
  }
  void TearDown() override {
    SetHaltHook(nullptr);
    ExitProc = nullptr;
  }
  // The code that reached the hook, or -1.
  static int HaltCode(void (*run)()) {
    try {
      run();
    } catch (const Halted& halted) {
      return halted.code;
    }
    return -1;
  }
};

TEST_F(HaltTest, RunsEveryExitStepThenHandsTheCodeOver) {
  InstallSteps();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(HaltCode([] { Halt(7); }), 7);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "terminal restored\n");
  EXPECT_EQ(trace, "CBA");
  EXPECT_EQ(ExitProc, nullptr);
  // The chain is used up: a second halt runs nothing.
  EXPECT_EQ(HaltCode([] { Halt(0); }), 0);
  EXPECT_EQ(trace, "CBA");
}

int last_error = 0;
const std::string kMissing = "no-such-dir-zorvan/TIME.DAT";

TEST_F(HaltTest, RunErrorReportsTheFileAndTheOsErrorAfterTheExitSteps) {
  OsFile file;
  ASSERT_FALSE(FileOpen(file, kMissing, faRead));
  last_error = FileLastError();
  std::string report = RunErrorText(kMissing, last_error);
  EXPECT_NE(report.find(kMissing), std::string::npos);
  EXPECT_NE(report.find(OsErrorText(last_error)), std::string::npos);

  InstallSteps();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(HaltCode([] { RunError(kMissing, last_error); }), kRunErrorExitCode);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "terminal restored\n" + report + "\n");
  EXPECT_EQ(trace, "CBA");

  // The report is printed once, not again by a later halt.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(HaltCode([] { Halt(0); }), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(HaltTest, AShortReadIsReportedAsAnEndOfFile) {
  std::string report = RunErrorText("PLAYER.DAT", 0);
  EXPECT_NE(report.find("PLAYER.DAT"), std::string::npos);
  EXPECT_NE(report.find("end of file"), std::string::npos);
  EXPECT_NE(kRunErrorExitCode, 0);
}

}  // namespace
