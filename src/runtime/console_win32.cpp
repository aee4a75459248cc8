// The Win32 presenter: the console model written into the console's screen buffer. Headless when
// no console is attached (a BBS started the door with its output elsewhere).
#include <windows.h>

#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/terminal_frame.h"

namespace {

struct Win32Presenter {
  ConsoleMode mode = cmHeadless;
  HANDLE out = INVALID_HANDLE_VALUE;
  HANDLE in = INVALID_HANDLE_VALUE;
  COORD origin{0, 0};  // the screen buffer cell where our column 1, row 1 sits
  UINT saved_code_page = 0;
  DWORD saved_input_mode = 0;
  bool input_mode_saved = false;
  uint64_t shown_version = 0;
  CHAR_INFO cells[kConsoleRows * kConsoleColumns];
};

Win32Presenter presenter;

// Our 80x25 picture goes where the console window shows now, not at the top of a long buffer that
// the window has scrolled away from; it must also fit in the buffer.
COORD FindOrigin(const CONSOLE_SCREEN_BUFFER_INFO& info) {
  SHORT top = info.srWindow.Top;
  if (top + kConsoleRows > info.dwSize.Y) top = static_cast<SHORT>(info.dwSize.Y - kConsoleRows);
  if (top < 0) top = 0;
  return COORD{info.srWindow.Left, top};
}

void ClearVisibleWindow(const CONSOLE_SCREEN_BUFFER_INFO& info) {
  DWORD width = static_cast<DWORD>(info.srWindow.Right - info.srWindow.Left + 1);
  for (SHORT row = info.srWindow.Top; row <= info.srWindow.Bottom; ++row) {
    DWORD written = 0;
    COORD at{info.srWindow.Left, row};
    FillConsoleOutputCharacterA(presenter.out, ' ', width, at, &written);
    FillConsoleOutputAttribute(presenter.out, 7, width, at, &written);
  }
}

void PlaceCursor(int column, int row) {
  COORD at{static_cast<SHORT>(presenter.origin.X + column - 1),
           static_cast<SHORT>(presenter.origin.Y + row - 1)};
  SetConsoleCursorPosition(presenter.out, at);
}

void Draw() {
  const ConsoleFrame& frame = ConsoleSnapshot();
  for (int row = 0; row < kConsoleRows; ++row)
    for (int column = 0; column < kConsoleColumns; ++column) {
      CHAR_INFO& out = presenter.cells[row * kConsoleColumns + column];
      const ConsoleCell& cell = frame.cells[row][column];
      out.Char.AsciiChar = static_cast<CHAR>(cell.ch);
      out.Attributes = static_cast<WORD>(cell.attr & 0x7F);  // bit 7 would be a bright background
    }
  SMALL_RECT target{presenter.origin.X, presenter.origin.Y,
                    static_cast<SHORT>(presenter.origin.X + kConsoleColumns - 1),
                    static_cast<SHORT>(presenter.origin.Y + kConsoleRows - 1)};
  WriteConsoleOutputA(presenter.out, presenter.cells, COORD{kConsoleColumns, kConsoleRows},
                      COORD{0, 0}, &target);
  PlaceCursor(frame.cursor_column, frame.cursor_row);
  presenter.shown_version = ConsoleVersion();
}

// Ctrl-C is a key here as on a POSIX terminal, not an abrupt end in the middle of a save.
void TakeCtrlCAsAKey() {
  presenter.in = GetStdHandle(STD_INPUT_HANDLE);
  presenter.input_mode_saved = GetConsoleMode(presenter.in, &presenter.saved_input_mode) != 0;
  if (presenter.input_mode_saved)
    SetConsoleMode(presenter.in, presenter.saved_input_mode & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT));
}

}  // namespace

void ConsoleOpen() {
  if (presenter.mode != cmHeadless) return;
  presenter.out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD output_mode = 0;
  if (presenter.out == INVALID_HANDLE_VALUE || presenter.out == nullptr ||
      GetConsoleMode(presenter.out, &output_mode) == 0)
    return;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(presenter.out, &info) == 0) return;
  presenter.mode = cmWin32;
  presenter.origin = FindOrigin(info);
  // The model holds CP437 bytes; the A-calls read them in the console's output code page.
  presenter.saved_code_page = GetConsoleOutputCP();
  SetConsoleOutputCP(437);
  TakeCtrlCAsAKey();
  ClearVisibleWindow(info);
  AddExitStep(&ConsoleClose, kExitStepLast);  // after the steps that still write to the screen
  Draw();
}

ConsoleMode ConsoleCurrentMode() { return presenter.mode; }
bool ConsoleIsHeadless() { return presenter.mode == cmHeadless; }

void ConsolePresent() {
  if (presenter.mode != cmWin32 || ConsoleVersion() == presenter.shown_version) return;
  Draw();
}

void ConsoleClose() {
  if (presenter.mode != cmWin32) return;
  ConsolePresent();
  const ConsoleFrame& frame = ConsoleSnapshot();
  int below = FrameUsedRows(frame) + 1;
  PlaceCursor(1, below);  // the prompt comes back under the picture
  ConsoleRestoreModes();
}

void ConsoleRestoreModes() {
  if (presenter.mode != cmWin32) return;
  if (presenter.saved_code_page != 0) SetConsoleOutputCP(presenter.saved_code_page);
  if (presenter.input_mode_saved) SetConsoleMode(presenter.in, presenter.saved_input_mode);
  presenter.mode = cmHeadless;
}
