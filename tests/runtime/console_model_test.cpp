#include <gtest/gtest.h>

#include "runtime/console.h"

namespace {

class ConsoleModelTest : public ::testing::Test {
 protected:
  void SetUp() override { ConsoleReset(); }
};

TEST_F(ConsoleModelTest, WritesWrapAndScrollInsideTheWindowAndGotoStaysInIt) {
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

TEST_F(ConsoleModelTest, ColourBitsAndClearToEndOfLineInTheCurrentAttribute) {
  ConsoleSetAttr(0x1E);
  ConsoleSetForeground(16 + 2);  // 16 or more: low four bits plus blink
  EXPECT_EQ(ConsoleAttr(), 0x92);
  ConsoleSetBackground(6);
  EXPECT_EQ(ConsoleAttr(), 0xE2);
  ConsoleSetForeground(3);  // below 16 clears blink again
  ConsoleSetBright();
  EXPECT_EQ(ConsoleAttr(), 0x6B);
  ConsoleWrite("hello world");
  ConsoleSetAttr(0x17);
  ConsoleGotoXY(6, 1);
  ConsoleClearEol();
  EXPECT_EQ(ConsoleRowText(1), "hello" + std::string(75, ' '));
  EXPECT_EQ(ConsoleCellAt(5, 1).attr, 0x6B);
  EXPECT_EQ(ConsoleCellAt(80, 1).attr, 0x17);
}

}  // namespace
