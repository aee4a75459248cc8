#include <gtest/gtest.h>

#include "runtime/clock.h"

namespace {

TEST(ClockTest, ElapsedTimeCountsOneMidnight) {
  // Readings in ms; the seconds are the same readings div 1000.
  struct Case {
    int32_t earlier, later, ms, seconds;
  };
  for (Case c : {Case{1'000, 6'000, 5'000, 5}, Case{86'399'000, 1'000, 2'000, 2},
                 Case{86'399'990, 0, 10, 1}, Case{5'000, 5'000, 0, 0},
                 Case{0, 86'399'990, 86'399'990, 86'399}}) {
    SCOPED_TRACE(c.earlier);
    EXPECT_EQ(MsElapsed(c.earlier, c.later), c.ms);
    EXPECT_EQ(SecondsElapsed(c.earlier / 1000, c.later / 1000), c.seconds);
  }
}

}  // namespace
