#include "runtime/terminal_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

namespace {

// Just enough of a terminal to replay what the presenter sends: each cell keeps the colour
// selection in force when it was drawn and the glyph's bytes. Anything else sent fails the test.
struct Screen {
  std::string cells[25][80];
  std::string pen;
  int row = 7, column = 33;  // wherever the shell left it
  bool cursor_shown = true;

  void Apply(const std::string& b) {
    for (size_t i = 0; i < b.size();) {
      auto lead = static_cast<uint8_t>(b[i]);
      size_t end = lead == 0x1b ? b.find_first_of("HCJmlh", i)
                                : i + (lead < 0x80 ? 0 : lead < 0xE0 ? 1 : 2);
      ASSERT_LT(end, b.size());
      std::string piece = b.substr(i, end + 1 - i);
      i = end + 1;
      if (piece == "\r") {
        column = 1;
      } else if (lead != 0x1b) {
        ASSERT_LE(column, 80) << "the presenter relied on the line wrap";
        cells[row - 1][column++ - 1] = pen + piece;
      } else {
        int p = 0, q = 0;
        std::sscanf(piece.c_str() + 2, "%d;%d", &p, &q);
        if (piece == "\x1b[?25l" || piece == "\x1b[?25h") cursor_shown = piece.back() == 'h';
        else if (piece.back() == 'm') pen = piece;
        else if (piece.back() == 'H') row = std::max(p, 1), column = std::max(q, 1);
        else if (piece.back() == 'C') column += std::max(p, 1);
        else EXPECT_EQ(piece, "\x1b[2J");
      }
    }
  }
};

void ExpectShows(const Screen& screen, const ConsoleFrame& frame) {
  int wrong = 0;
  for (int r = 0; r < 25; ++r)
    for (int c = 0; c < 80; ++c) {
      std::string want = TerminalSgr(frame.cells[r][c].attr);
      AppendCellGlyph(want, frame.cells[r][c].ch, true);
      if (screen.cells[r][c] != want && ++wrong <= 3)
        ADD_FAILURE() << "cell " << c + 1 << "," << r + 1 << ": " << screen.cells[r][c];
    }
  EXPECT_EQ(screen.row, frame.cursor_row);
  EXPECT_EQ(screen.column, frame.cursor_column);
  EXPECT_TRUE(screen.cursor_shown);
}

// Scattered cells, a run to the end of a row, and a new cursor position.
void Scribble(std::mt19937& rng, ConsoleFrame& frame) {
  for (int k = 0; k < 12; ++k) {
    ConsoleCell& cell = frame.cells[rng() % 25][rng() % 80];
    cell = ConsoleCell{uint8_t(rng()), rng() % 2 ? uint8_t(rng()) : cell.attr};
  }
  ConsoleCell* row = frame.cells[rng() % 25];
  for (unsigned c = rng() % 80; c < 80; ++c) row[c] = ConsoleCell{uint8_t('a' + c % 26), 0x1E};
  frame.cursor_column = 1 + int(rng() % 80);
  frame.cursor_row = 1 + int(rng() % 25);
}

TEST(TerminalFrameTest, AFullDrawThenDiffsWithAKeptPenShowEachPicture) {
  std::mt19937 rng(7);
  ConsoleFrame frame, next;
  for (auto& row : next.cells)
    for (ConsoleCell& cell : row) cell = ConsoleCell{uint8_t(rng()), uint8_t(rng())};
  Screen screen;
  TerminalPen pen;
  for (int step = 0; step <= 40; ++step) {
    SCOPED_TRACE(step);
    if (step > 0) Scribble(rng, next);
    std::string out;
    RenderFrameDiffTo(out, step == 0 ? nullptr : &frame, next, true, pen);
    screen.Apply(out);
    ExpectShows(screen, next);
    frame = next;
  }
  EXPECT_EQ(RenderFrameDiff(&frame, frame, true), "");  // unchanged: nothing at all
}

TEST(TerminalFrameTest, SmallChangesSendExactlyTheirBytes) {
  const ConsoleFrame blank;
  ConsoleFrame cursor_moved, one_cell, letters, pen_colour, red_k, blinking;
  cursor_moved.cursor_row = 5, cursor_moved.cursor_column = 10;
  one_cell.cells[1][2] = ConsoleCell{'X', 0x1E};
  const std::string top = "abc      d";
  for (size_t c = 0; c < top.size(); ++c) letters.cells[0][c].ch = static_cast<uint8_t>(top[c]);
  letters.cells[1][0].ch = 'e';
  letters.cursor_row = 2, letters.cursor_column = 2;
  pen_colour.cells[4][0] = ConsoleCell{'q', 0x0C};
  pen_colour.cursor_row = 5, pen_colour.cursor_column = 2;
  red_k.cells[0][0] = ConsoleCell{'k', 0x04};
  blinking.cells[0][0] = ConsoleCell{'k', 0x84};
  struct {
    const ConsoleFrame &before, &after;
    TerminalPen pen;
    const char* bytes;
  } const cases[] = {
      {blank, cursor_moved, {1, 1, -1}, "\x1b[5;10H"},
      {blank, one_cell, {1, 1, -1}, "\x1b[?25l\x1b[2;3H\x1b[93;44mX\x1b[H\x1b[?25h"},
      {blank, letters, {1, 1, -1}, "\x1b[?25l\x1b[37;40mabc\x1b[6Cd\x1b[2He\x1b[?25h"},
      // A pen kept from the last frame: no colour sent again, no move to where it already is.
      {blank, pen_colour, {1, 1, 0x0C}, "\x1b[?25l\x1b[5Hq\x1b[?25h"},
      // Blink is not shown: a blink change alone redraws the cell but selects no colour.
      {blank, blinking, {1, 1, -1}, "\x1b[?25l\x1b[31;40mk\r\x1b[?25h"},
      {red_k, blinking, {1, 1, 0x04}, "\x1b[?25lk\r\x1b[?25h"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    TerminalPen pen = c.pen;
    std::string out;
    RenderFrameDiffTo(out, &c.before, c.after, true, pen);
    EXPECT_EQ(out, c.bytes);
  }
}

TEST(TerminalFrameTest, GlyphsInUtf8AndInPlainAscii) {
  std::string utf8, ascii;
  for (uint8_t ch : std::string("A\0\x01\x7F\x81\xB0\xC4\xFF", 8)) {
    AppendCellGlyph(utf8, ch, true);
    AppendCellGlyph(ascii, ch, false);
  }
  EXPECT_EQ(utf8, "A \u263A\u2302\u00FC\u2591\u2500\u00A0");
  EXPECT_EQ(ascii, "A ??????");  // a control byte would act, a high byte would be mojibake
}

}  // namespace
