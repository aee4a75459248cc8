// The console model shared by every presenter. Platform-free: the presenters read it.
#include "runtime/console.h"

#include <algorithm>
#include <cstring>

namespace {

struct ConsoleState {
  ConsoleFrame frame;
  int left = 1, top = 1, right = kConsoleColumns, bottom = kConsoleRows;
  uint8_t attr = 7;
  uint64_t version = 0;
};

ConsoleState console;

ConsoleCell& Cell(int column, int row) { return console.frame.cells[row - 1][column - 1]; }

void Touch() { ++console.version; }

void ScrollWindowUp() {
  for (int row = console.top; row < console.bottom; ++row)
    for (int column = console.left; column <= console.right; ++column)
      Cell(column, row) = Cell(column, row + 1);
  for (int column = console.left; column <= console.right; ++column)
    Cell(column, console.bottom) = ConsoleCell{' ', console.attr};
}

void LineFeed() {
  if (console.frame.cursor_row < console.bottom)
    ++console.frame.cursor_row;
  else
    ScrollWindowUp();
}

}  // namespace

void ConsoleReset() {
  console = ConsoleState{};
  Touch();
}

void ConsoleSetWindow(int left, int top, int right, int bottom) {
  left = std::clamp(left, 1, kConsoleColumns);
  right = std::clamp(right, left, kConsoleColumns);
  top = std::clamp(top, 1, kConsoleRows);
  bottom = std::clamp(bottom, top, kConsoleRows);
  console.left = left, console.top = top, console.right = right, console.bottom = bottom;
  console.frame.cursor_column = left;
  console.frame.cursor_row = top;
  Touch();
}

int ConsoleWindowWidth() { return console.right - console.left + 1; }
int ConsoleWindowHeight() { return console.bottom - console.top + 1; }
int ConsoleWindowBottom() { return console.bottom; }

void ConsoleGotoXY(int column, int row) {
  if (column < 1 || row < 1 || column > ConsoleWindowWidth() || row > ConsoleWindowHeight()) return;
  console.frame.cursor_column = console.left + column - 1;
  console.frame.cursor_row = console.top + row - 1;
  Touch();
}

int ConsoleWhereX() { return console.frame.cursor_column - console.left + 1; }
int ConsoleWhereY() { return console.frame.cursor_row - console.top + 1; }

uint8_t ConsoleAttr() { return console.attr; }
void ConsoleSetAttr(uint8_t attr) { console.attr = attr; }

void ConsoleSetForeground(uint8_t colour) {
  if (colour < 16)
    console.attr = static_cast<uint8_t>((console.attr & 0x70) | colour);
  else
    console.attr = static_cast<uint8_t>((console.attr & 0x70) | (colour & 0x0F) | 0x80);
}

void ConsoleSetBackground(uint8_t colour) {
  console.attr = static_cast<uint8_t>((console.attr & 0x8F) | ((colour & 7) << 4));
}

void ConsoleSetBright() { console.attr |= 0x08; }

void ConsoleClearWindow() {
  for (int row = console.top; row <= console.bottom; ++row)
    for (int column = console.left; column <= console.right; ++column)
      Cell(column, row) = ConsoleCell{' ', console.attr};
  console.frame.cursor_column = console.left;
  console.frame.cursor_row = console.top;
  Touch();
}

void ConsoleClearEol() {
  for (int column = console.frame.cursor_column; column <= console.right; ++column)
    Cell(column, console.frame.cursor_row) = ConsoleCell{' ', console.attr};
  Touch();
}

void ConsoleWrite(std::string_view text) {
  if (text.empty()) return;
  ConsoleFrame& f = console.frame;
  for (unsigned char c : text) {
    switch (c) {
      case '\r': f.cursor_column = console.left; break;
      case '\n': LineFeed(); break;
      case '\b':
        if (f.cursor_column > console.left) --f.cursor_column;
        break;
      case 7: break;  // bell: the local screen stays silent
      default:
        Cell(f.cursor_column, f.cursor_row) = ConsoleCell{c, console.attr};
        if (f.cursor_column < console.right) {
          ++f.cursor_column;
        } else {
          f.cursor_column = console.left;
          LineFeed();
        }
    }
  }
  Touch();
}

void ConsolePutCells(int column, int row, std::string_view text, uint8_t attr) {
  if (row < 1 || row > kConsoleRows || column < 1) return;
  for (unsigned char c : text) {
    if (column > kConsoleColumns) break;
    Cell(column++, row) = ConsoleCell{c, attr};
  }
  Touch();
}

const ConsoleFrame& ConsoleSnapshot() { return console.frame; }

ConsoleCell ConsoleCellAt(int column, int row) {
  if (column < 1 || column > kConsoleColumns || row < 1 || row > kConsoleRows) return {};
  return Cell(column, row);
}

std::string ConsoleTextAt(int column, int row, int n) {
  std::string text;
  for (int i = 0; i < n && column + i <= kConsoleColumns; ++i)
    text.push_back(static_cast<char>(ConsoleCellAt(column + i, row).ch));
  return text;
}

std::string ConsoleRowText(int row) { return ConsoleTextAt(1, row, kConsoleColumns); }

uint64_t ConsoleVersion() { return console.version; }
