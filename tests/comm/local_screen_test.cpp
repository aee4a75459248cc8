#include "comm/local_screen.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "runtime/console.h"

namespace {

const std::string E = "\x1b[";

struct Cell {
  int column, row;
  uint8_t ch, attr;
};

// Cursor column, row and attribute.
std::tuple<int, int, uint8_t> CursorState() {
  return {ConsoleWhereX(), ConsoleWhereY(), ConsoleAttr()};
}

// Bytes in (as separate writes) on a fresh screen; cursor, attribute and some cells out.
struct AnsiCase {
  const char* name;
  std::vector<std::string> writes;
  int x, y;
  uint8_t attr;
  std::vector<Cell> cells;
  int window_bottom = 25;  // 24 as in door mode, which keeps row 25 for the status line
  uint8_t start_attr = 7;
};

TEST(LocalScreen, AnsiSequences) {
  const AnsiCase cases[] = {
      {"2J", {"xyz\r\nabc", E + "2J"}, 1, 1, 0x17, {{1, 2, ' ', 0x17}, {80, 25, ' ', 0x17}}, 25,
       0x17},
      {"J and 0J do nothing", {"xyz", E + "J", E + "0J", E + "1J"}, 4, 1, 7, {{3, 1, 'z', 7}}},
      {"K", {"abcdef", E + "4D", E + "31m", E + "5K"}, 3, 1, 4, {{2, 1, 'b', 7}, {80, 1, ' ', 4}}},
      {"bright stays for 31", {E + "1;33m", E + "31m"}, 1, 1, 12, {}},
      {"0;31 is plain red", {E + "1;33m", E + "0;31m"}, 1, 1, 4, {}},
      {"7m on 1E", {E + "7m"}, 1, 1, 0x61, {}, 25, 0x1E},
      {"text between", {"ab" + E + "31mcd" + E + "0mef"}, 7, 1, 7,
       {{4, 1, 'd', 4}, {5, 1, 'e', 7}}},
      {"H without parameters", {E + "5;10H", E + "H"}, 1, 1, 7, {}},
      {"f", {E + "7;3f"}, 3, 7, 7, {}},
      {"empty row and zeroes", {E + "9;9H", E + ";5H", E + "0;0H"}, 1, 1, 7, {}},
      {"split inside a number", {E + "3", "0m"}, 1, 1, 0, {}},
      {"split after ESC and ;", {"\x1b", "[4;", "6H"}, 6, 4, 7, {}},
      {"99D and 99B", {E + "1;40H", E + "99D", E + "99B"}, 1, 25, 7, {}},
      {"99B in rows 1-24", {E + "99B", E + "2147483647C"}, 80, 24, 7, {}, 24},
      {"goto outside the window", {E + "3;4H", E + "25;1H", E + "1;81H"}, 4, 3, 7, {}, 24},
      {"count 0, none, overlong", {E + "5;5H", E + "0A", E + "C", E + "99999999999A"}, 6, 3, 7, {}},
      {"s then u", {E + "6;12H", E + "s", "text\r\n", E + "u"}, 12, 6, 7, {{12, 6, 't', 7}}},
      {"u before s", {E + "6;12H", E + "u"}, 1, 1, 7, {}},
      {"ESC without [", {"\x1bX[2;2H"}, 2, 2, 7, {{1, 1, 'X', 7}}},
      {"over ten parameters", {E + "0;0;0;0;0;0;0;0;0;34;32;31m"}, 1, 1, 4, {}},
  };
  for (const AnsiCase& c : cases) {
    SCOPED_TRACE(c.name);
    ConsoleReset();
    LocalScreenReset();
    ConsoleSetWindow(1, 1, 80, c.window_bottom);
    ConsoleSetAttr(c.start_attr);
    for (const std::string& w : c.writes) LocalWriteAnsi(w);
    EXPECT_EQ(CursorState(), std::make_tuple(c.x, c.y, c.attr));
    for (const Cell& cell : c.cells) {
      const ConsoleCell got = ConsoleCellAt(cell.column, cell.row);
      EXPECT_EQ(std::make_pair(got.ch, got.attr), std::make_pair(cell.ch, cell.attr))
          << cell.column;
    }
  }
}

// Door mode keeps row 25 for the status line, outside the window of rows 1-24: ConsoleWriteAt
// draws there, cuts at the edge instead of wrapping and leaves the cursor and attribute alone.
TEST(LocalScreen, WriteAtDrawsOutsideTheWindow) {
  ConsoleReset();
  LocalScreenReset();
  ConsoleSetWindow(1, 1, 80, 24);
  LocalWriteAnsi(E + "0;31m" + E + "10;20Hx");
  ConsoleWriteAt("Status", 1, 25, 0x1E);
  ConsoleWriteAt("abcdef", 77, 23, 0x4F);
  EXPECT_EQ(ConsoleTextAt(1, 25, 7), "Status ");
  EXPECT_EQ(ConsoleCellAt(6, 25).attr, 0x1E);
  EXPECT_EQ(ConsoleCellAt(7, 25).attr, 7);
  EXPECT_EQ(ConsoleTextAt(77, 23, 4) + ConsoleTextAt(1, 24, 2), "abcd  ");  // nothing wraps
  EXPECT_EQ(CursorState(), std::make_tuple(21, 10, uint8_t{4}));
}

}  // namespace
