#include <gtest/gtest.h>

#include "runtime/console.h"

namespace {

class ConsoleModelTest : public ::testing::Test {
 protected:
  void SetUp() override { ConsoleReset(); }
};

TEST_F(ConsoleModelTest, WritesWrapAtTheWindowEdgeAndScrollAtItsBottom) {
  ConsoleSetWindow(1, 1, 80, 24);
  ConsoleGotoXY(79, 24);
  ConsoleWrite("ab");  // b lands in column 80, then the cursor wraps and the window scrolls
  EXPECT_EQ(ConsoleTextAt(79, 23, 2), "ab");
  EXPECT_EQ(ConsoleWhereX(), 1);
  EXPECT_EQ(ConsoleWhereY(), 24);
  EXPECT_EQ(ConsoleRowText(25), std::string(80, ' '));  // outside the window: untouched
}

TEST_F(ConsoleModelTest, CarriageReturnLineFeedAndBackspace) {
  ConsoleWrite("abc\bX\r\nZ");
  EXPECT_EQ(ConsoleTextAt(1, 1, 3), "abX");
  EXPECT_EQ(ConsoleTextAt(1, 2, 1), "Z");
  ConsoleWrite("\r\b\b");  // backspace stops at column 1
  EXPECT_EQ(ConsoleWhereX(), 1);
}

TEST_F(ConsoleModelTest, GotoOutsideTheWindowLeavesTheCursor) {
  ConsoleSetWindow(1, 1, 80, 24);
  ConsoleGotoXY(10, 5);
  ConsoleGotoXY(10, 25);
  ConsoleGotoXY(81, 1);
  ConsoleGotoXY(0, 3);
  EXPECT_EQ(ConsoleWhereX(), 10);
  EXPECT_EQ(ConsoleWhereY(), 5);
}

TEST_F(ConsoleModelTest, ForegroundBackgroundAndBlinkBits) {
  ConsoleSetAttr(0x1E);
  ConsoleSetForeground(4);
  EXPECT_EQ(ConsoleAttr(), 0x14);
  ConsoleSetForeground(16 + 2);  // 16 or more: low four bits plus blink
  EXPECT_EQ(ConsoleAttr(), 0x92);
  ConsoleSetBackground(6);
  EXPECT_EQ(ConsoleAttr(), 0xE2);
  ConsoleSetForeground(3);  // below 16 clears blink again
  EXPECT_EQ(ConsoleAttr(), 0x63);
  ConsoleSetBright();
  EXPECT_EQ(ConsoleAttr(), 0x6B);
}

TEST_F(ConsoleModelTest, ClearsFillWithTheCurrentAttribute) {
  ConsoleWrite("hello world");
  ConsoleSetAttr(0x17);
  ConsoleGotoXY(6, 1);
  ConsoleClearEol();
  EXPECT_EQ(ConsoleTextAt(1, 1, 6), "hello ");
  EXPECT_EQ(ConsoleCellAt(80, 1).attr, 0x17);
  EXPECT_EQ(ConsoleCellAt(5, 1).attr, 7);
  ConsoleClearWindow();
  EXPECT_EQ(ConsoleRowText(1), std::string(80, ' '));
  EXPECT_EQ(ConsoleWhereX(), 1);
  EXPECT_EQ(ConsoleWhereY(), 1);
}

TEST_F(ConsoleModelTest, PutCellsKeepsCursorAndAttributeAndCutsAtTheRightEdge) {
  ConsoleGotoXY(5, 5);
  ConsoleSetAttr(0x0C);
  ConsolePutCells(78, 25, "abcdef", 0x1E);
  EXPECT_EQ(ConsoleTextAt(78, 25, 3), "abc");
  EXPECT_EQ(ConsoleCellAt(78, 25).attr, 0x1E);
  EXPECT_EQ(ConsoleWhereX(), 5);
  EXPECT_EQ(ConsoleWhereY(), 5);
  EXPECT_EQ(ConsoleAttr(), 0x0C);
}

}  // namespace
