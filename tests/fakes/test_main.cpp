// The unit tests' main: every test starts from the program's start state, whatever ran before it,
// so the suites pass in any order.
#include <gtest/gtest.h>

#include "fakes/door_harness.h"

namespace {

class StartState : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { ResetEverything(); }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new StartState);
  return RUN_ALL_TESTS();
}
