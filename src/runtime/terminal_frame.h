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
void RenderFrameDiffTo(std::string& out, const ConsoleFrame* previous, const ConsoleFrame& current,
                       bool utf8, TerminalPen& pen);

// How many rows from the top are in use: down to the lowest row holding something other than
// blanks on black, and at least down to the cursor's row.
int FrameUsedRows(const ConsoleFrame& frame);

// Leaving the screen to the shell: the terminal's own colours back, the cursor to column 1 of the
// line under the used part of the frame (under the lowest non-blank row or the cursor's row).
std::string RenderFrameLeave(const ConsoleFrame& frame);

// Whether a terminal of that many columns and rows shows the whole screen without scrolling.
bool TerminalFitsFrame(int columns, int rows);
// What a terminal too small for the screen shows instead: one line naming the size needed and the
// size found, cut to the terminal's width, on a cleared screen.
std::string RenderSizeNotice(int columns, int rows);

// The colour selection for a PC attribute: bright foregrounds as 90-97, backgrounds 40-47, blink
// not shown.
std::string TerminalSgr(uint8_t attr);

// A cell's character as the terminal shows it: CP437 as UTF-8, or, when the terminal does not speak
// UTF-8, ASCII with '?' for everything else. A NUL is a blank.
void AppendCellGlyph(std::string& out, uint8_t ch, bool utf8);
