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

// Bytes in (as separate writes) on a fresh screen; cursor, attribute and some cells out.
struct AnsiCase {
  const char* name;
  std::vector<std::string> writes;
  int x, y;
  uint8_t attr;
  std::vector<Cell> cells;
  int window_bottom = 25;  // 24 as in door mode, which keeps row 25 for the status line
};

TEST(LocalScreen, AnsiSequences) {
  const AnsiCase cases[] = {
      {"K", {"abcdef", E + "4D", E + "31m", E + "5K"}, 3, 1, 4, {{2, 1, 'b', 7}, {80, 1, ' ', 4}}},
      {"bright stays for 31", {E + "1;33m", E + "31m"}, 1, 1, 12, {}},
      {"0;31 is plain red", {E + "1;33m", E + "0;31m"}, 1, 1, 4, {}},
      {"split after ESC and ;", {"\x1b", "[4;", "6H"}, 6, 4, 7, {}},
      {"99B in rows 1-24", {E + "99B", E + "2147483647C"}, 80, 24, 7, {}, 24},
      {"goto outside the window", {E + "3;4H", E + "25;1H", E + "1;81H"}, 4, 3, 7, {}, 24},
      {"count 0, none, overlong", {E + "5;5H", E + "0A", E + "C", E + "99999999999A"}, 6, 3, 7, {}},
      {"ESC without [", {"\x1bX[2;2H"}, 2, 2, 7, {{1, 1, 'X', 7}}},
      {"over ten parameters", {E + "0;0;0;0;0;0;0;0;0;34;32;31m"}, 1, 1, 4, {}},
  };
  for (const AnsiCase& c : cases) {
    SCOPED_TRACE(c.name);
    ConsoleReset();
    LocalScreenReset();
    ConsoleSetWindow(1, 1, 80, c.window_bottom);
    for (const std::string& w : c.writes) LocalWriteAnsi(w);
    EXPECT_EQ(std::make_tuple(ConsoleWhereX(), ConsoleWhereY(), ConsoleAttr()),
              std::make_tuple(c.x, c.y, c.attr));
    for (const Cell& cell : c.cells) {
      const ConsoleCell got = ConsoleCellAt(cell.column, cell.row);
      EXPECT_EQ(std::make_pair(got.ch, got.attr), std::make_pair(cell.ch, cell.attr))
          << cell.column;
    }
  }
}

}  // namespace
