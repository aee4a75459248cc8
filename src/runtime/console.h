// The local console: one 80x25 cell model for both platforms, with the text window, the cursor and
// the current attribute, and the presenter that puts it on a real screen (or nowhere, headless).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

constexpr int kConsoleColumns = 80;
constexpr int kConsoleRows = 25;

struct ConsoleCell {
  uint8_t ch = ' ';
  uint8_t attr = 7;
  bool operator==(const ConsoleCell&) const = default;
};

// A picture of the whole screen; the presenters compare two of them.
struct ConsoleFrame {
  ConsoleCell cells[kConsoleRows][kConsoleColumns];
  int cursor_column = 1;  // 1-based screen coordinates
  int cursor_row = 1;
  bool operator==(const ConsoleFrame&) const = default;
};

// Resets the model: blank screen in attribute 7, full-screen window, cursor at 1,1.
void ConsoleReset();

// The text window in 1-based screen coordinates; positions below are relative to it.
void ConsoleSetWindow(int left, int top, int right, int bottom);
int ConsoleWindowWidth();
int ConsoleWindowHeight();
int ConsoleWindowBottom();  // the window's last screen row

// Cursor inside the window; a position outside the window leaves the cursor where it is.
void ConsoleGotoXY(int column, int row);
int ConsoleWhereX();
int ConsoleWhereY();

uint8_t ConsoleAttr();
void ConsoleSetAttr(uint8_t attr);
// Below 16 replaces bits 0-3 and clears blink; 16 or more sets bits 0-3 to its low four bits and blink.
void ConsoleSetForeground(uint8_t colour);
// Bits 4-6 := colour and 7; foreground and blink kept.
void ConsoleSetBackground(uint8_t colour);
void ConsoleSetBright();

// Fill the window with blanks in the current attribute, cursor to 1,1.
void ConsoleClearWindow();
// Blanks from the cursor to the window's right edge, current attribute.
void ConsoleClearEol();
// Text at the cursor in the current attribute: CR, LF, BS and BEL act, the rest is shown; wraps at
// the window's right edge and scrolls the window at its bottom.
void ConsoleWrite(std::string_view text);
// Cells at a screen position (1-based), one attribute, cut at the right edge of the screen; the
// cursor and the current attribute stay.
void ConsolePutCells(int column, int row, std::string_view text, uint8_t attr);

// Reading the model (tests and presenters).
const ConsoleFrame& ConsoleSnapshot();
ConsoleCell ConsoleCellAt(int column, int row);       // 1-based screen coordinates
std::string ConsoleRowText(int row);                   // 80 characters of that screen row
std::string ConsoleTextAt(int column, int row, int n); // n characters from there
uint64_t ConsoleVersion();                              // changes with every change of the model

// Presenter. Until ConsoleOpen the console is headless: the model is kept and shown nowhere.
enum ConsoleMode : uint8_t { cmHeadless, cmTerminal, cmWin32 };
// Chooses the presenter: the Win32 console, a POSIX terminal in raw mode (when stdout and stdin are
// terminals), else headless. Installs the exit step that shows the last frame and restores the
// terminal.
void ConsoleOpen();
ConsoleMode ConsoleCurrentMode();
bool ConsoleIsHeadless();
// Shows what changed since the last call (nothing when headless).
void ConsolePresent();
// Shows the last frame, leaves the cursor below it and restores the terminal. Safe to call twice.
void ConsoleClose();
// Restores the terminal at once, drawing nothing and allocating nothing: for an end that cannot
// draw any more (memory ran out). Nothing when the console is headless or already closed.
void ConsoleRestoreModes();
