#include "runtime/terminal_frame.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TerminalFrameTest, ChangesSendExactlyTheirBytes) {
  const ConsoleFrame blank;
  ConsoleFrame cursor_moved, one_cell, letters, blinking, last_column;
  cursor_moved.cursor_row = 5, cursor_moved.cursor_column = 10;
  one_cell.cells[1][2] = ConsoleCell{'X', 0x1E};
  const std::string top = "abc      d";
  for (size_t c = 0; c < top.size(); ++c) letters.cells[0][c].ch = static_cast<uint8_t>(top[c]);
  letters.cells[1][0].ch = 'e';
  letters.cursor_row = 2, letters.cursor_column = 2;
  blinking.cells[0][0] = ConsoleCell{'k', 0x84};
  last_column.cells[0][79].ch = 'y';
  last_column.cells[1][0].ch = 'z';
  struct {
    const ConsoleFrame &before, &after;
    TerminalPen pen;
    const char* bytes;
  } const cases[] = {
      {blank, cursor_moved, {1, 1, -1}, "\x1b[5;10H"},
      {blank, one_cell, {1, 1, -1}, "\x1b[?25l\x1b[2;3H\x1b[93;44mX\x1b[H\x1b[?25h"},
      {blank, letters, {1, 1, -1}, "\x1b[?25l\x1b[37;40mabc\x1b[6Cd\x1b[2He\x1b[?25h"},
      // Blink is not shown: a blink change alone redraws the cell but selects no colour.
      {blank, blinking, {1, 1, -1}, "\x1b[?25l\x1b[31;40mk\r\x1b[?25h"},
      // Terminals differ after column 80: the next cell is placed afresh, never by the wrap.
      {blank, last_column, {1, 1, 7}, "\x1b[?25l\x1b[79Cy\x1b[2Hz\x1b[H\x1b[?25h"},
      {letters, letters, {2, 2, -1}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    TerminalPen pen = c.pen;
    std::string out;
    RenderFrameDiffTo(out, &c.before, c.after, true, pen);
    EXPECT_EQ(out, c.bytes);
  }
  // The first frame clears the screen and draws every cell; leaving puts the shell below the
  // lowest row that shows anything, a blank on a coloured background included.
  const std::string first = RenderFrameDiff(nullptr, letters, true);
  EXPECT_EQ(first.find("\x1b[?25l\x1b[0m\x1b[H\x1b[2J\x1b[37;40mabc      d "), 0u) << first;
  EXPECT_NE(first.find("\x1b[25H"), std::string::npos);
  ConsoleFrame backdrop;
  backdrop.cells[2][5] = ConsoleCell{' ', 0x10};
  EXPECT_EQ(RenderFrameLeave(backdrop), "\x1b[0m\x1b[3H\r\n");
  EXPECT_EQ(RenderFrameLeave(cursor_moved), "\x1b[0m\x1b[5H\r\n");
  // Glyphs in UTF-8, or in plain ASCII where a control byte would act and a high byte be mojibake.
  std::string utf8, ascii;
  for (uint8_t ch : std::string("A\0\x01\x7F\x81\xB0\xC4\xFF", 8)) {
    AppendCellGlyph(utf8, ch, true);
    AppendCellGlyph(ascii, ch, false);
  }
  EXPECT_EQ(utf8, "A \u263A\u2302\u00FC\u2591\u2500\u00A0");
  EXPECT_EQ(ascii, "A ??????");
  for (int ch = 1; ch < 256; ++ch) {  // every byte a glyph, never a control the terminal acts on
    std::string glyph;
    AppendCellGlyph(glyph, static_cast<uint8_t>(ch), true);
    EXPECT_GE(static_cast<uint8_t>(glyph[0]), 0x20) << ch;
  }
}

}  // namespace
