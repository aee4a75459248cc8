#include <gtest/gtest.h>

#include "runtime/console.h"

namespace {

TEST(ConsoleModelTest, WritesWrapAndScrollInsideTheWindowAndGotoStaysInIt) {
  ConsoleReset();
  ConsoleSetWindow(1, 1, 80, 24);
  ConsoleWrite("abc\bX\r\nZ\r\b\b");  // backspace stops at column 1
  EXPECT_EQ(ConsoleTextAt(1, 1, 3), "abX");
  EXPECT_EQ(ConsoleWhereX(), 1);
  ConsoleGotoXY(10, 5);
  for (auto [column, row] : {std::pair{10, 25}, std::pair{81, 1}, std::pair{0, 3}})
    ConsoleGotoXY(column, row);
  EXPECT_EQ(ConsoleWhereX(), 10);  // outside the window: the cursor stays
  EXPECT_EQ(ConsoleWhereY(), 5);
  ConsoleGotoXY(79, 24);
  ConsoleWrite("ab");  // b lands in column 80, then the cursor wraps and the window scrolls
  EXPECT_EQ(ConsoleTextAt(79, 23, 2) + ConsoleTextAt(1, 1, 1), "abZ");
  EXPECT_EQ(ConsoleWhereX(), 1);
  EXPECT_EQ(ConsoleWhereY(), 24);
  EXPECT_EQ(ConsoleRowText(25), std::string(80, ' '));  // outside the window: untouched
}

}  // namespace
