#include "runtime/terminal_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "runtime/cp437.h"

namespace {

// A small VT100 that understands exactly what the presenter may send (and fails the test on anything
// else), so that a frame can be checked by what a terminal would show.
class FakeTerminal {
 public:
  struct Cell {
    uint8_t ch = '#';  // garbage until drawn
    int attr = -2;
  };

  void Apply(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
      auto c = static_cast<uint8_t>(bytes[i]);
      if (c == 0x1b) {
        i = Sequence(bytes, i);
      } else if (c == '\r') {
        column_ = 1, wrap_ = false, ++i;
      } else if (c < 0x20) {
        ADD_FAILURE() << "control byte " << int(c);
        ++i;
      } else {
        i = Glyph(bytes, i);
      }
    }
  }

  const Cell& At(int row, int column) const { return cells_[row - 1][column - 1]; }
  int row() const { return row_; }
  int column() const { return column_; }
  bool cursor_shown() const { return cursor_shown_; }

  // The character a terminal cell shows, back in CP437 (or '?' when it is not a CP437 glyph).
  bool utf8 = true;

 private:
  size_t Sequence(const std::string& b, size_t i) {
    EXPECT_EQ(b.at(i + 1), '[');
    i += 2;
    bool private_marker = b[i] == '?';
    if (private_marker) ++i;
    int params[4] = {-1, -1, -1, -1};
    int n = 0;
    for (; i < b.size() && ((b[i] >= '0' && b[i] <= '9') || b[i] == ';'); ++i) {
      if (b[i] == ';') {
        ++n;
      } else {
        params[n] = (params[n] < 0 ? 0 : params[n] * 10) + (b[i] - '0');
      }
    }
    char final = b.at(i);
    Execute(private_marker, final, params, n + 1);
    return i + 1;
  }

  void Execute(bool private_marker, char final, const int* p, int count) {
    if (private_marker) {
      EXPECT_EQ(p[0], 25);
      cursor_shown_ = final == 'h';
      return;
    }
    switch (final) {
      case 'H':
        row_ = p[0] < 1 ? 1 : p[0], column_ = p[1] < 1 ? 1 : p[1], wrap_ = false;
        break;
      case 'C':
        EXPECT_FALSE(wrap_);
        column_ = std::min(80, column_ + (p[0] < 1 ? 1 : p[0]));
        break;
      case 'J':
        EXPECT_EQ(p[0], 2);
        for (auto& row : cells_)
          for (Cell& cell : row) cell = Cell{' ', -1};
        break;
      case 'm':
        for (int k = 0; k < count; ++k) Graphic(p[k] < 0 ? 0 : p[k]);
        break;
      default: ADD_FAILURE() << "unexpected final " << final;
    }
  }

  void Graphic(int v) {
    static const int kPcOfAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    if (v == 0) fg_ = -1, bg_ = -1;
    else if (v >= 30 && v <= 37) fg_ = kPcOfAnsi[v - 30];
    else if (v >= 90 && v <= 97) fg_ = kPcOfAnsi[v - 90] + 8;
    else if (v >= 40 && v <= 47) bg_ = kPcOfAnsi[v - 40];
    else ADD_FAILURE() << "unexpected SGR " << v;
  }

  size_t Glyph(const std::string& b, size_t i) {
    uint32_t cp = static_cast<uint8_t>(b[i]);
    size_t len = 1;
    if (cp >= 0xE0) cp &= 0x0F, len = 3;
    else if (cp >= 0xC0) cp &= 0x1F, len = 2;
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<uint8_t>(b.at(i + k)) & 0x3F);
    Put(ToCp437(cp));
    return i + len;
  }

  uint8_t ToCp437(uint32_t cp) const {
    if (!utf8) {
      EXPECT_LT(cp, 0x80u);
      return static_cast<uint8_t>(cp);
    }
    for (int byte = 1; byte < 256; ++byte)
      if (Cp437ToUnicode(static_cast<uint8_t>(byte)) == cp) return static_cast<uint8_t>(byte);
    ADD_FAILURE() << "not a CP437 glyph " << cp;
    return '?';
  }

  void Put(uint8_t ch) {
    if (wrap_) {  // xterm's pending wrap: the next character goes to the next line
      column_ = 1, wrap_ = false;
      ASSERT_LT(row_, 25) << "the presenter made the terminal scroll";
      ++row_;
    }
    cells_[row_ - 1][column_ - 1] = Cell{ch, fg_ < 0 || bg_ < 0 ? -1 : bg_ * 16 + fg_};
    if (column_ < 80) ++column_;
    else wrap_ = true;
  }

  Cell cells_[25][80];
  int row_ = 7, column_ = 33;  // wherever the shell left it
  bool wrap_ = false;
  bool cursor_shown_ = true;
  int fg_ = -1, bg_ = -1;
};

// What a cell of the model should look like on the terminal.
uint8_t ShownChar(uint8_t ch, bool utf8) {
  if (ch == 0) return ' ';
  if (utf8) return ch;
  return ch >= 0x20 && ch < 0x7F ? ch : '?';
}

void ExpectShows(const FakeTerminal& term, const ConsoleFrame& frame, bool utf8) {
  int wrong = 0;
  for (int row = 1; row <= 25; ++row)
    for (int column = 1; column <= 80; ++column) {
      const ConsoleCell& want = frame.cells[row - 1][column - 1];
      const FakeTerminal::Cell& got = term.At(row, column);
      if (got.ch != ShownChar(want.ch, utf8) || got.attr != (want.attr & 0x7F)) {
        if (++wrong <= 5)
          ADD_FAILURE() << "cell " << column << "," << row << ": want " << int(want.ch) << "/"
                        << int(want.attr) << " got " << int(got.ch) << "/" << got.attr;
      }
    }
  EXPECT_EQ(term.row(), frame.cursor_row);
  EXPECT_EQ(term.column(), frame.cursor_column);
  EXPECT_TRUE(term.cursor_shown());
}

ConsoleFrame RandomFrame(std::mt19937& rng) {
  ConsoleFrame frame;
  for (auto& row : frame.cells)
    for (ConsoleCell& cell : row)
      cell = ConsoleCell{static_cast<uint8_t>(rng() & 0xFF), static_cast<uint8_t>(rng() & 0xFF)};
  frame.cursor_column = 1 + static_cast<int>(rng() % 80);
  frame.cursor_row = 1 + static_cast<int>(rng() % 25);
  return frame;
}

// A few scattered cells, a run along a row, and sometimes the bottom-right corner.
void Scribble(std::mt19937& rng, ConsoleFrame& frame) {
  for (int k = 0; k < 12; ++k) {
    ConsoleCell& cell = frame.cells[rng() % 25][rng() % 80];
    cell.ch = static_cast<uint8_t>(rng());
    if (rng() % 2) cell.attr = static_cast<uint8_t>(rng());
  }
  int row = static_cast<int>(rng() % 25);
  for (int column = static_cast<int>(rng() % 40); column < 60; ++column)
    frame.cells[row][column] = ConsoleCell{static_cast<uint8_t>('a' + column % 26), 0x1E};
  if (rng() % 3 == 0) frame.cells[24][79] = ConsoleCell{'Z', static_cast<uint8_t>(rng())};
  frame.cursor_column = 1 + static_cast<int>(rng() % 80);
  frame.cursor_row = 1 + static_cast<int>(rng() % 25);
}

class TerminalFrameRoundTrip : public ::testing::TestWithParam<bool> {};

TEST_P(TerminalFrameRoundTrip, FullRedrawShowsEveryCell) {
  bool utf8 = GetParam();
  std::mt19937 rng(1234);
  for (int trial = 0; trial < 5; ++trial) {
    ConsoleFrame frame = RandomFrame(rng);
    FakeTerminal term;
    term.utf8 = utf8;
    term.Apply(RenderFrameDiff(nullptr, frame, utf8));
    ExpectShows(term, frame, utf8);
  }
}

TEST_P(TerminalFrameRoundTrip, DiffsWithAKeptPenTurnEachPictureIntoTheNext) {
  bool utf8 = GetParam();
  std::mt19937 rng(7);
  ConsoleFrame previous = RandomFrame(rng);
  FakeTerminal term;
  term.utf8 = utf8;
  TerminalPen pen;
  std::string out;
  RenderFrameDiffTo(out, nullptr, previous, utf8, pen);
  term.Apply(out);
  for (int step = 0; step < 40; ++step) {
    ConsoleFrame next = previous;
    Scribble(rng, next);
    out.clear();
    RenderFrameDiffTo(out, &previous, next, utf8, pen);
    term.Apply(out);
    ExpectShows(term, next, utf8);
    previous = next;
  }
}

INSTANTIATE_TEST_SUITE_P(Charset, TerminalFrameRoundTrip, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Utf8" : "Ascii"; });

ConsoleFrame BlankFrame() { return ConsoleFrame{}; }

TEST(TerminalFrameTest, UnchangedFrameSendsNothing) {
  std::mt19937 rng(5);
  ConsoleFrame frame = RandomFrame(rng);
  EXPECT_EQ(RenderFrameDiff(&frame, frame, true), "");
}

TEST(TerminalFrameTest, CursorMoveAloneSendsOnePosition) {
  ConsoleFrame before = BlankFrame(), after = BlankFrame();
  after.cursor_column = 10;
  after.cursor_row = 5;
  EXPECT_EQ(RenderFrameDiff(&before, after, true), "\x1b[5;10H");
  EXPECT_EQ(RenderFrameDiff(&after, before, true), "\x1b[H");
}

TEST(TerminalFrameTest, OneChangedCellIsDrawnAloneAndTheCursorGoesBack) {
  ConsoleFrame before = BlankFrame(), after = BlankFrame();
  after.cells[1][2] = ConsoleCell{'X', 0x1E};
  EXPECT_EQ(RenderFrameDiff(&before, after, true), "\x1b[?25l\x1b[2;3H\x1b[93;44mX\x1b[H\x1b[?25h");
}

TEST(TerminalFrameTest, ColourIsSentOnceAndGapsAreSkipped) {
  ConsoleFrame before = BlankFrame(), after = BlankFrame();
  after.cells[0][0].ch = 'a';
  after.cells[0][1].ch = 'b';
  after.cells[0][2].ch = 'c';
  after.cells[0][9].ch = 'd';
  after.cells[1][0].ch = 'e';
  after.cursor_column = 2;
  after.cursor_row = 2;
  EXPECT_EQ(RenderFrameDiff(&before, after, true),
            "\x1b[?25l\x1b[37;40mabc\x1b[6Cd\x1b[2He\x1b[?25h");
}

TEST(TerminalFrameTest, KeptPenSendsNoColourAlreadySelected) {
  ConsoleFrame before = BlankFrame(), after = BlankFrame();
  after.cells[4][0] = ConsoleCell{'q', 0x0C};
  after.cursor_column = 2;
  after.cursor_row = 5;
  TerminalPen pen{1, 1, 0x0C};
  std::string out;
  RenderFrameDiffTo(out, &before, after, true, pen);
  EXPECT_EQ(out, "\x1b[?25l\x1b[5Hq\x1b[?25h");
  EXPECT_EQ(pen.row, 5);
  EXPECT_EQ(pen.column, 2);
}

TEST(TerminalFrameTest, BlinkChangeAloneDrawsTheCellWithoutANewColour) {
  ConsoleFrame before = BlankFrame(), after = BlankFrame();
  before.cells[0][0] = ConsoleCell{'k', 0x04};
  after.cells[0][0] = ConsoleCell{'k', 0x84};
  TerminalPen pen{1, 1, 0x04};
  std::string out;
  RenderFrameDiffTo(out, &before, after, true, pen);
  EXPECT_EQ(out, "\x1b[?25lk\r\x1b[?25h");
}

TEST(TerminalFrameTest, AttributeToColourSelection) {
  struct {
    uint8_t attr;
    const char* sgr;
  } const cases[] = {
      {0x07, "\x1b[37;40m"}, {0x08, "\x1b[90;40m"}, {0x1E, "\x1b[93;44m"}, {0x84, "\x1b[31;40m"},
      {0x70, "\x1b[30;47m"}, {0x4A, "\x1b[92;41m"}, {0x3D, "\x1b[95;46m"}, {0x61, "\x1b[34;43m"},
  };
  for (const auto& c : cases) EXPECT_EQ(TerminalSgr(c.attr), c.sgr) << int(c.attr);
}

TEST(TerminalFrameTest, GlyphsInUtf8AndInPlainAscii) {
  struct {
    uint8_t ch;
    const char* utf8;
    const char* ascii;
  } const cases[] = {
      {'A', "A", "A"},           {0x00, " ", " "},          {0x01, "\u263A", "?"},
      {0x1B, "\u2190", "?"},     {0x7F, "\u2302", "?"},     {0x81, "\u00FC", "?"},
      {0xB0, "\u2591", "?"},     {0xC4, "\u2500", "?"},     {0xDB, "\u2588", "?"},
      {0xE1, "\u00DF", "?"},     {0xFE, "\u25A0", "?"},     {0xFF, "\u00A0", "?"},
  };
  for (const auto& c : cases) {
    std::string utf8, ascii;
    AppendCellGlyph(utf8, c.ch, true);
    AppendCellGlyph(ascii, c.ch, false);
    EXPECT_EQ(utf8, c.utf8) << int(c.ch);
    EXPECT_EQ(ascii, c.ascii) << int(c.ch);
  }
}

TEST(TerminalFrameTest, LeavingGoesBelowTheUsedPart) {
  ConsoleFrame frame = BlankFrame();
  frame.cells[2][5].ch = 'x';
  frame.cursor_row = 5;
  EXPECT_EQ(RenderFrameLeave(frame), "\x1b[0m\x1b[5H\r\n");
  frame.cells[11][0] = ConsoleCell{' ', 0x10};  // a blue blank is something shown
  EXPECT_EQ(RenderFrameLeave(frame), "\x1b[0m\x1b[12H\r\n");
  frame.cells[24][70].ch = 'S';  // the status line
  EXPECT_EQ(RenderFrameLeave(frame), "\x1b[0m\x1b[25H\r\n");
}

}  // namespace
