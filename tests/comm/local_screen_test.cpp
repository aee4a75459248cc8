#include "comm/local_screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/console.h"

namespace {

const std::string E = "\x1b[";

struct CellExpectation {
  int column, row;
  char ch;
  uint8_t attr;
};

// Bytes in (as separate writes), cursor, attribute and some cells out.
struct AnsiCase {
  const char* name;
  int window_bottom;  // 25 = whole screen; 24 as door mode keeps row 25 for the status line
  uint8_t start_attr;
  std::vector<std::string> writes;
  int x, y;
  uint8_t attr;
  std::vector<CellExpectation> cells;
};

std::ostream& operator<<(std::ostream& os, const AnsiCase& c) { return os << c.name; }

class LocalScreenAnsi : public ::testing::TestWithParam<AnsiCase> {};

TEST_P(LocalScreenAnsi, EndsWithCursorAttributeAndCells) {
  const AnsiCase& c = GetParam();
  ConsoleReset();
  LocalScreenReset();
  ConsoleSetWindow(1, 1, 80, c.window_bottom);
  ConsoleSetAttr(c.start_attr);
  for (const std::string& w : c.writes) LocalWriteAnsi(w);
  EXPECT_EQ(ConsoleWhereX(), c.x);
  EXPECT_EQ(ConsoleWhereY(), c.y);
  EXPECT_EQ(ConsoleAttr(), c.attr);
  for (const CellExpectation& cell : c.cells) {
    ConsoleCell got = ConsoleCellAt(cell.column, cell.row);
    EXPECT_EQ(got.ch, static_cast<uint8_t>(cell.ch)) << "column " << cell.column << " row " << cell.row;
    EXPECT_EQ(got.attr, cell.attr) << "column " << cell.column << " row " << cell.row;
  }
}

const AnsiCase kAnsiCases[] = {
    {"PlainTextTakesTheCurrentAttribute", 25, 0x1E, {"ab"}, 3, 1, 0x1E,
     {{1, 1, 'a', 0x1E}, {2, 1, 'b', 0x1E}, {3, 1, ' ', 7}}},
    {"ClearWindowTwoJ", 25, 0x17, {"xyz\r\nabc", E + "2J"}, 1, 1, 0x17,
     {{1, 1, ' ', 0x17}, {1, 2, ' ', 0x17}, {80, 25, ' ', 0x17}}},
    {"JAndZeroJChangeNothing", 25, 7, {"xyz", E + "J", E + "0J", E + "1J"}, 4, 1, 7,
     {{1, 1, 'x', 7}, {3, 1, 'z', 7}}},
    {"ClearToEndOfLineWhateverP1", 25, 7, {"abcdef", E + "4D", E + "1;31m", E + "5K"}, 3, 1, 0x0C,
     {{2, 1, 'b', 7}, {3, 1, ' ', 0x0C}, {80, 1, ' ', 0x0C}}},
    {"BoldYellow", 25, 7, {E + "1;33m"}, 1, 1, 14, {}},
    {"BrightStaysForRed", 25, 7, {E + "1;33m", E + "31m"}, 1, 1, 12, {}},
    {"ResetThenRed", 25, 7, {E + "1;33m", E + "0;31m"}, 1, 1, 4, {}},
    {"EmptyMIsReset", 25, 0x1E, {E + "m"}, 1, 1, 7, {}},
    {"InverseOf1E", 25, 0x1E, {E + "7m"}, 1, 1, 0x61, {}},
    {"InverseDropsBrightAndBlink", 25, 0xCF, {E + "7m"}, 1, 1, 0x74, {}},
    {"ConcealIsBlackOnBlack", 25, 0x1E, {E + "8m"}, 1, 1, 0, {}},
    {"BackgroundKeepsForegroundAndBlink", 25, 0x8E, {E + "42m"}, 1, 1, 0xAE, {}},
    {"ForegroundClearsBlink", 25, 0x9E, {E + "32m"}, 1, 1, 0x1A, {}},
    {"UnknownGraphicValuesAreIgnored", 25, 0x1E, {E + "4;5;38;99m"}, 1, 1, 0x1E, {}},
    {"ParametersRunUntilAbsent", 25, 7, {E + "0;1;34;43m"}, 1, 1, 0x69, {}},
    {"ColouredText", 25, 7, {E + "1;37m" + E + "44mHi"}, 3, 1, 0x1F, {{1, 1, 'H', 0x1F}}},
    {"GotoRowColumn", 25, 7, {E + "5;10H"}, 10, 5, 7, {}},
    {"GotoWithF", 25, 7, {E + "7;3f"}, 3, 7, 7, {}},
    {"GotoHomeWithoutParameters", 25, 7, {E + "5;10H", E + "H"}, 1, 1, 7, {}},
    {"GotoEmptyRowMeansRowOne", 25, 7, {E + "9;9H", E + ";5H"}, 5, 1, 7, {}},
    {"GotoZeroesMeanOne", 25, 7, {E + "9;9H", E + "0;0H"}, 1, 1, 7, {}},
    {"GotoOutsideTheScreenStays", 25, 7, {E + "5;10H", E + "26;1H", E + "1;81H"}, 10, 5, 7, {}},
    {"SplitSequenceActsAsOne", 25, 7, {E + "3", "0m"}, 1, 1, 0, {}},
    {"SplitAfterEsc", 25, 0x1E, {"\x1b", "[0mA"}, 2, 1, 7, {{1, 1, 'A', 7}}},
    {"SplitAfterSemicolon", 25, 7, {E + "4;", "6H"}, 6, 4, 7, {}},
    {"TextAroundSequencesKeepsItsOrder", 25, 7, {"ab" + E + "31mcd" + E + "0mef"}, 7, 1, 7,
     {{2, 1, 'b', 7}, {3, 1, 'c', 4}, {4, 1, 'd', 4}, {5, 1, 'e', 7}}},
    {"DownStopsAtTheLastRow", 25, 7, {E + "99B"}, 1, 25, 7, {}},
    {"LeftStopsAtColumnOne", 25, 7, {E + "1;40H", E + "99D"}, 1, 1, 7, {}},
    {"UpStopsAtRowOne", 25, 7, {E + "3;3H", E + "99A"}, 3, 1, 7, {}},
    {"RightStopsAtTheLastColumn", 25, 7, {E + "999C"}, 80, 1, 7, {}},
    {"HugeCountStillClamps", 25, 7, {E + "2147483647B"}, 1, 25, 7, {}},
    {"CountZeroMovesOne", 25, 7, {E + "5;5H", E + "0A", E + "C"}, 6, 4, 7, {}},
    {"DoorWindowClampsDownAtRow24", 24, 7, {E + "99B"}, 1, 24, 7, {}},
    {"DoorWindowRefusesGotoRow25", 24, 7, {E + "3;4H", E + "25;1H"}, 4, 3, 7, {}},
    {"SaveAndRestore", 25, 7, {E + "6;12H", E + "s", "text\r\n", E + "u"}, 12, 6, 7,
     {{12, 6, 't', 7}}},
    {"RestoreBeforeSaveGoesHome", 25, 7, {E + "6;12H", E + "u"}, 1, 1, 7, {}},
    {"UnknownFinalIsIgnored", 25, 7, {"a" + E + "5Zb"}, 3, 1, 7, {{2, 1, 'b', 7}}},
    {"PrivateMarkersAreIgnored", 25, 7, {E + "?5;7H"}, 7, 5, 7, {}},
    {"EscWithoutBracketShowsTheRest", 25, 7, {"\x1bXY"}, 3, 1, 7, {{1, 1, 'X', 7}, {2, 1, 'Y', 7}}},
    {"BracketLaterStillOpensASequence", 25, 7, {"\x1bX[2;2H"}, 2, 2, 7, {{1, 1, 'X', 7}}},
    {"EscAbortsASequence", 25, 7, {E + "5" + "\x1b" + "[3;3H"}, 3, 3, 7, {}},
    {"MoreThanTenParametersOverwriteTheTenth", 25, 7,
     {E + "0;0;0;0;0;0;0;0;0;34;32;31m"}, 1, 1, 4, {}},
    {"OverlongNumberIsNoNumber", 25, 7, {E + "5;5H", E + "99999999999A"}, 5, 4, 7, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LocalScreenAnsi, ::testing::ValuesIn(kAnsiCases),
                         [](const auto& info) { return std::string(info.param.name); });

class LocalScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ConsoleReset();
    LocalScreenReset();
  }
};

TEST_F(LocalScreenTest, WriteAtOnRow25LeavesCursorAndAttribute) {
  ConsoleSetWindow(1, 1, 80, 24);
  LocalWriteAnsi(E + "0;31m" + E + "10;20Hx");
  ConsoleWriteAt("Status", 1, 25, 0x1E);
  EXPECT_EQ(ConsoleTextAt(1, 25, 6), "Status");
  EXPECT_EQ(ConsoleCellAt(1, 25).attr, 0x1E);
  EXPECT_EQ(ConsoleCellAt(6, 25).attr, 0x1E);
  EXPECT_EQ(ConsoleCellAt(7, 25).attr, 7);
  EXPECT_EQ(ConsoleWhereX(), 21);
  EXPECT_EQ(ConsoleWhereY(), 10);
  EXPECT_EQ(ConsoleAttr(), 4);
}

TEST_F(LocalScreenTest, WriteAtIsCutAtTheRightEdge) {
  ConsoleWriteAt("abcdef", 77, 3, 0x4F);
  EXPECT_EQ(ConsoleTextAt(77, 3, 4), "abcd");
  EXPECT_EQ(ConsoleTextAt(1, 4, 2), "  ");  // nothing wraps onto the next row
}

TEST_F(LocalScreenTest, ResetForgetsAHalfSequenceAndTheSavedCursor) {
  LocalWriteAnsi(E + "4;4H" + E + "s" + E + "3");
  LocalScreenReset();
  LocalWriteAnsi("1m");
  EXPECT_EQ(ConsoleTextAt(4, 4, 2), "1m");
  LocalWriteAnsi(E + "u");
  EXPECT_EQ(ConsoleWhereX(), 1);
  EXPECT_EQ(ConsoleWhereY(), 1);
}

TEST_F(LocalScreenTest, PlainTextGoesToTheConsoleInRuns) {
  // Each console write is one change of the model: two runs of text are two writes, not ten.
  uint64_t before = ConsoleVersion();
  LocalWriteAnsi("hello" + E + "31mworld");
  EXPECT_EQ(ConsoleVersion() - before, 2u);
  EXPECT_EQ(ConsoleTextAt(1, 1, 10), "helloworld");
}

TEST_F(LocalScreenTest, LongTextScrollsTheWindow) {
  ConsoleSetWindow(1, 1, 80, 24);
  std::string lines;
  for (char c = 'a'; c <= 'z'; ++c) lines += std::string(1, c) + "\r\n";
  LocalWriteAnsi(lines);
  EXPECT_EQ(ConsoleTextAt(1, 1, 1), "d");
  EXPECT_EQ(ConsoleTextAt(1, 23, 1), "z");
  EXPECT_EQ(ConsoleWhereY(), 24);
  EXPECT_EQ(ConsoleTextAt(1, 25, 1), " ");
}

}  // namespace
