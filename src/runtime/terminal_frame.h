// The terminal presenter's pure part: two frames of the console model in, the VT100/ANSI bytes that
// turn the first picture into the second out. No I/O here.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/console.h"

// What the presenter has told the terminal so far, so that it never sends the same thing twice.
struct TerminalPen {
  int row = 0;     // terminal cursor, 1-based; 0 = not known
  int column = 0;
  int attr = -1;   // PC attribute of the colours last selected (blink dropped); -1 = not known
};

// One byte string that draws only the cells that differ from previous (null: the terminal's content
// is unknown, so clear it and draw every cell) and ends with the terminal cursor at the model's
// cursor. The terminal cursor is taken to be at previous's cursor and the colour as unknown.
std::string RenderFrameDiff(const ConsoleFrame* previous, const ConsoleFrame& current, bool utf8);

// The same, appended to out, starting from what pen says the terminal shows and updating it; the
// live presenter keeps its pen between frames.
// rows: how many rows from the top the terminal has (a 24-row terminal's view leaves row 25 alone).
void RenderFrameDiffTo(std::string& out, const ConsoleFrame* previous, const ConsoleFrame& current,
                       bool utf8, TerminalPen& pen, int rows = kConsoleRows);

// How many rows from the top are in use: down to the lowest row holding something other than
// blanks on black, and at least down to the cursor's row.
int FrameUsedRows(const ConsoleFrame& frame);

// Leaving the screen to the shell: the terminal's own colours back, the cursor to column 1 of the
// line under the used part of the frame (under the lowest non-blank row or the cursor's row).
std::string RenderFrameLeave(const ConsoleFrame& frame);

// The fewest rows a terminal may have: one short of the screen, as xterm, PuTTY, ssh and tmux
// start. Such a terminal shows the screen one row short, as a caller's 24-row terminal would
// (FitFrame).
constexpr int kTerminalMinRows = kConsoleRows - 1;

// Whether a terminal of that many columns and rows can show the screen (in full, or one row short).
bool TerminalFitsFrame(int columns, int rows);

// The screen as a terminal one row short shows it, in rows 1-24 of the result (row 25 blank).
// window_bottom is the text window's last row: below it is the door's status line. The window's
// rows stay in place unless the last screen row is in use (a prompt there), which scrolls them up
// one as on a caller's terminal; the status line takes row 24 only while that row is blank.
ConsoleFrame FitFrame(const ConsoleFrame& screen, int window_bottom);
// What a terminal too small for the screen shows instead: one line naming the size needed and the
// size found, cut to the terminal's width, on a cleared screen.
std::string RenderSizeNotice(int columns, int rows);

// The colour selection for a PC attribute: bright foregrounds as 90-97, backgrounds 40-47, blink
// not shown.
std::string TerminalSgr(uint8_t attr);

// A cell's character as the terminal shows it: CP437 as UTF-8, or, when the terminal does not speak
// UTF-8, ASCII with '?' for everything else. A NUL is a blank.
void AppendCellGlyph(std::string& out, uint8_t ch, bool utf8);
