#include "runtime/terminal_frame.h"

#include <algorithm>
#include <iterator>

#include "runtime/cp437.h"
#include "runtime/pc_colours.h"

namespace {

constexpr uint8_t kShownAttrBits = 0x7F;  // blink is not shown

void AppendNumber(std::string& out, int n) { out += std::to_string(n); }

// Shortest motion from the pen to row, column: nothing, CR, a move right, or an absolute position.
void MoveTo(std::string& out, TerminalPen& pen, int row, int column) {
  if (pen.row == row && pen.column == column) return;
  bool on_row = pen.row == row && pen.column != 0;
  if (on_row && column == 1) {
    out += '\r';
  } else if (on_row && column > pen.column) {
    out += "\x1b[";
    if (column - pen.column > 1) AppendNumber(out, column - pen.column);
    out += 'C';
  } else {
    out += "\x1b[";
    if (row != 1 || column != 1) AppendNumber(out, row);
    if (column != 1) {
      out += ';';
      AppendNumber(out, column);
    }
    out += 'H';
  }
  pen.row = row;
  pen.column = column;
}

void SelectAttr(std::string& out, TerminalPen& pen, uint8_t attr) {
  int shown = attr & kShownAttrBits;
  if (pen.attr == shown) return;
  out += TerminalSgr(attr);
  pen.attr = shown;
}

void DrawCell(std::string& out, TerminalPen& pen, int row, int column, ConsoleCell cell, bool utf8) {
  MoveTo(out, pen, row, column);
  SelectAttr(out, pen, cell.attr);
  AppendCellGlyph(out, cell.ch, utf8);
  if (column < kConsoleColumns) {
    pen.column = column + 1;
  } else {
    // Terminals differ in where the cursor sits after the last column; position afresh.
    pen.row = 0;
    pen.column = 0;
  }
}

bool IsBlank(ConsoleCell cell) { return (cell.ch == ' ' || cell.ch == 0) && (cell.attr & 0x70) == 0; }

}  // namespace

std::string TerminalSgr(uint8_t attr) {
  int foreground = AnsiColour[attr & 7] + ((attr & 8) != 0 ? 90 : 30);
  int background = AnsiColour[(attr >> 4) & 7] + 40;
  std::string sgr = "\x1b[";
  AppendNumber(sgr, foreground);
  sgr += ';';
  AppendNumber(sgr, background);
  sgr += 'm';
  return sgr;
}

void AppendCellGlyph(std::string& out, uint8_t ch, bool utf8) {
  if (utf8)
    AppendUtf8(out, Cp437ToUnicode(ch));
  else if (ch == 0)
    out += ' ';
  else if (ch < 0x20 || ch >= 0x7F)
    out += '?';  // a control byte would act on the terminal, a high byte would be mojibake
  else
    out += static_cast<char>(ch);
}

void RenderFrameDiffTo(std::string& out, const ConsoleFrame* previous, const ConsoleFrame& current,
                       bool utf8, TerminalPen& pen, int rows) {
  size_t start = out.size();
  if (previous == nullptr) {
    out += "\x1b[0m\x1b[H\x1b[2J";
    pen = TerminalPen{1, 1, -1};
  }
  for (int row = 1; row <= rows; ++row) {
    const ConsoleCell* now = current.cells[row - 1];
    const ConsoleCell* before = previous != nullptr ? previous->cells[row - 1] : nullptr;
    for (int column = 1; column <= kConsoleColumns; ++column) {
      if (before != nullptr && before[column - 1] == now[column - 1]) continue;
      DrawCell(out, pen, row, column, now[column - 1], utf8);
    }
  }
  bool drew = out.size() > start;
  MoveTo(out, pen, current.cursor_row, current.cursor_column);
  // The cursor would jump about while cells are drawn: hide it for the drawing.
  if (drew) {
    out.insert(start, "\x1b[?25l");
    out += "\x1b[?25h";
  }
}

std::string RenderFrameDiff(const ConsoleFrame* previous, const ConsoleFrame& current, bool utf8) {
  TerminalPen pen;
  if (previous != nullptr) pen = TerminalPen{previous->cursor_row, previous->cursor_column, -1};
  std::string out;
  out.reserve(previous == nullptr ? 4096 : 256);
  RenderFrameDiffTo(out, previous, current, utf8, pen);
  return out;
}

int FrameUsedRows(const ConsoleFrame& frame) {
  for (int row = kConsoleRows; row > frame.cursor_row; --row)
    for (const ConsoleCell& cell : frame.cells[row - 1])
      if (!IsBlank(cell)) return row;
  return frame.cursor_row;
}

std::string RenderFrameLeave(const ConsoleFrame& frame) {
  std::string out = "\x1b[0m\x1b[";
  AppendNumber(out, FrameUsedRows(frame));
  out += "H\r\n";
  return out;
}

bool TerminalFitsFrame(int columns, int rows) {
  return columns >= kConsoleColumns && rows >= kTerminalMinRows;
}

ConsoleFrame FitFrame(const ConsoleFrame& screen, int window_bottom) {
  ConsoleFrame view{};
  const bool status_line = window_bottom < kConsoleRows;
  const int last = status_line ? window_bottom : kConsoleRows;
  const auto row_used = [&screen](int row) {
    if (screen.cursor_row == row) return true;
    for (const ConsoleCell& cell : screen.cells[row - 1])
      if (!IsBlank(cell)) return true;
    return false;
  };
  const int shift = last > kTerminalMinRows && row_used(last) ? last - kTerminalMinRows : 0;
  for (int row = 1; row <= kTerminalMinRows; ++row)
    std::copy(std::begin(screen.cells[row - 1 + shift]), std::end(screen.cells[row - 1 + shift]),
              std::begin(view.cells[row - 1]));
  view.cursor_column = screen.cursor_column;
  view.cursor_row = std::clamp(screen.cursor_row - shift, 1, kTerminalMinRows);
  if (status_line && !row_used(kTerminalMinRows) && shift == 0)
    std::copy(std::begin(screen.cells[kConsoleRows - 1]), std::end(screen.cells[kConsoleRows - 1]),
              std::begin(view.cells[kTerminalMinRows - 1]));
  return view;
}

std::string RenderSizeNotice(int columns, int rows) {
  std::string notice = "Zorvan/32 needs " + std::to_string(kConsoleColumns) + "x" +
                       std::to_string(kTerminalMinRows) + "; this terminal is " +
                       std::to_string(columns) + "x" + std::to_string(rows) + ".";
  if (columns > 0 && notice.size() > static_cast<size_t>(columns))
    notice.resize(static_cast<size_t>(columns));  // a wrapped line would be no clearer
  return "\x1b[0m\x1b[H\x1b[2J" + notice + "\r";
}
