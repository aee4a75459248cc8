#include <gtest/gtest.h>

#include "runtime/clock.h"

namespace {

TEST(ClockElapsed, CountsOneMidnight) {
  // Readings in ms; the seconds are the same readings div 1000.
  struct Case {
    int32_t earlier, later, ms, seconds;
  };
  for (Case c : {Case{1'000, 6'000, 5'000, 5}, Case{86'399'000, 1'000, 2'000, 2}, Case{86'399'990, 0, 10, 1},
                 Case{5'000, 5'000, 0, 0}, Case{0, 86'399'990, 86'399'990, 86'399}}) {
    SCOPED_TRACE(c.earlier);
    EXPECT_EQ(MsElapsed(c.earlier, c.later), c.ms);
    EXPECT_EQ(SecondsElapsed(c.earlier / 1000, c.later / 1000), c.seconds);
  }
}

int32_t fake_now = 0;
int32_t FakeClock() { return fake_now; }

class ClockOverrideTest : public ::testing::Test {
 protected:
  void TearDown() override { ClockOverride(nullptr); }
};

TEST_F(ClockOverrideTest, AFakeClockFeedsTheTimeOfDay) {
  ClockOverride(&FakeClock);
  fake_now = 86'399'000;
  int32_t start = MsOfDay();
  EXPECT_EQ(SecondsOfDay(), 86'399);
  fake_now = 4'010;  // past midnight
  EXPECT_EQ(MsElapsed(start, MsOfDay()), 5'010);
  EXPECT_EQ(SecondsOfDay(), 4);
}

TEST_F(ClockOverrideTest, TheRealClockGivesHundredthsWithinTheDay) {
  ClockOverride(&FakeClock);
  fake_now = -1;
  ClockOverride(nullptr);
  int32_t now = MsOfDay();
  EXPECT_GE(now, 0);
  EXPECT_LT(now, kMsPerDay);
  EXPECT_EQ(now % 10, 0);
  SleepMs(1);
  EXPECT_NE(MsOfDay(), -1);
}

}  // namespace
