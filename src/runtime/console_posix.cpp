// The terminal presenter: the console model drawn on a POSIX terminal in raw mode, sending only
// what changed. Headless when stdin or stdout is not a terminal (a BBS started the door).
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <langinfo.h>
#include <string>
#include <strings.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/terminal_frame.h"
#include "runtime/waiter.h"

namespace {

struct TerminalPresenter {
  ConsoleMode mode = cmHeadless;
  bool utf8 = false;
  termios saved_termios{};
  ConsoleFrame shown;          // what the terminal shows now
  TerminalPen pen;
  std::string out;             // reused: a frame costs no allocation once it has grown
  uint64_t shown_version = 0;
  bool too_small = false;      // the terminal shows the size notice, not the screen
  bool one_row_short = false;  // a 24-row terminal: it shows FitFrame's view
  ConsoleFrame view;           // that view, reused
  struct sigaction saved_term{}, saved_hup{}, saved_winch{};
};

TerminalPresenter presenter;
volatile sig_atomic_t redraw_requested = 0;

// Whole buffer to the terminal; a signal or a short write does not cut the frame.
void WriteAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the terminal is gone; nothing to tell anyone
    done += static_cast<size_t>(n);
  }
}

bool LocaleIsUtf8() {
  // Ask the environment's locale, then put the program's back: only the presenter cares.
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  std::string previous = current != nullptr ? current : "C";
  bool utf8 = false;
  if (std::setlocale(LC_CTYPE, "") != nullptr) {
    std::string codeset = nl_langinfo(CODESET);
    utf8 = strcasecmp(codeset.c_str(), "UTF-8") == 0 || strcasecmp(codeset.c_str(), "UTF8") == 0;
  }
  std::setlocale(LC_CTYPE, previous.c_str());
  return utf8;
}

// Raw mode: keys arrive one byte at a time, unechoed, Enter as CR; Ctrl-C, Ctrl-Z, Ctrl-S and Ctrl-Q
// are keys too, so no key can stop or suspend the editor with the terminal left raw or a record
// half written (Q ends the editor properly). Reads do not wait (VMIN = VTIME = 0). Output keeps its
// post-processing so that a stray line from elsewhere still starts at column 1.
termios RawMode(termios mode) {
  mode.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | INPCK | ISTRIP | IXON);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  return mode;
}

// Plain colours, the cursor shown and below the screen, and the modes the terminal came with;
// async-signal-safe.
void GiveTerminalBack() {
  static const char kLeave[] = "\x1b[0m\x1b[?25h\x1b[25H\r\n";
  ssize_t ignored = write(STDOUT_FILENO, kLeave, sizeof kLeave - 1);
  (void)ignored;
  tcsetattr(STDIN_FILENO, TCSADRAIN, &presenter.saved_termios);
}

// Give the terminal back and die of the signal as if nothing had caught it.
void OnTerminatingSignal(int signal_number) {
  GiveTerminalBack();
  struct sigaction action{};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  raise(signal_number);
}

void OnWindowChange(int) {
  redraw_requested = 1;
  WaitWake();  // the key wait presents the redraw
}

void InstallSignals() {
  struct sigaction action{};
  sigemptyset(&action.sa_mask);
  action.sa_handler = &OnTerminatingSignal;
  sigaction(SIGTERM, &action, &presenter.saved_term);
  sigaction(SIGHUP, &action, &presenter.saved_hup);
  action.sa_handler = &OnWindowChange;
  action.sa_flags = SA_RESTART;
  sigaction(SIGWINCH, &action, &presenter.saved_winch);
}

void RestoreSignals() {
  sigaction(SIGTERM, &presenter.saved_term, nullptr);
  sigaction(SIGHUP, &presenter.saved_hup, nullptr);
  sigaction(SIGWINCH, &presenter.saved_winch, nullptr);
}

// Presents the model: only the changes, or everything when the terminal's picture is unknown.
void Draw(bool full) {
  if (presenter.one_row_short) presenter.view = FitFrame(ConsoleSnapshot(), ConsoleWindowBottom());
  const ConsoleFrame& now = presenter.one_row_short ? presenter.view : ConsoleSnapshot();
  presenter.out.clear();
  RenderFrameDiffTo(presenter.out, full ? nullptr : &presenter.shown, now, presenter.utf8,
                    presenter.pen, presenter.one_row_short ? kTerminalMinRows : kConsoleRows);
  WriteAll(presenter.out);
  presenter.shown = now;
  presenter.shown_version = ConsoleVersion();
}

// A terminal smaller than the screen would scroll and wrap it into a garble: it gets a one-line
// notice instead, until a resize makes it large enough. A size that cannot be read fits.
bool ShowNoticeIfSmall() {
  winsize size{};
  presenter.one_row_short = false;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
    return false;
  presenter.one_row_short = size.ws_row < kConsoleRows;
  if (TerminalFitsFrame(size.ws_col, size.ws_row)) return false;
  WriteAll(RenderSizeNotice(size.ws_col, size.ws_row));
  return true;
}

// The terminal's picture is unknown (start, resize): the notice, or the whole screen afresh.
void DrawWhole() {
  presenter.too_small = ShowNoticeIfSmall();
  if (!presenter.too_small) Draw(true);
}

}  // namespace

void ConsoleOpen() {
  if (presenter.mode != cmHeadless) return;
  if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) return;
  if (tcgetattr(STDIN_FILENO, &presenter.saved_termios) != 0) return;
  termios raw = RawMode(presenter.saved_termios);
  if (tcsetattr(STDIN_FILENO, TCSADRAIN, &raw) != 0) return;
  presenter.mode = cmTerminal;
  presenter.utf8 = LocaleIsUtf8();
  redraw_requested = 0;
  InstallSignals();
  AddExitStep(&ConsoleClose, kExitStepLast);  // after the steps that still write to the screen
  DrawWhole();
}

ConsoleMode ConsoleCurrentMode() { return presenter.mode; }
bool ConsoleIsHeadless() { return presenter.mode == cmHeadless; }

void ConsolePresent() {
  if (presenter.mode != cmTerminal) return;
  if (redraw_requested != 0) {
    redraw_requested = 0;
    DrawWhole();
    return;
  }
  if (presenter.too_small || ConsoleVersion() == presenter.shown_version) return;
  Draw(false);
}

void ConsoleClose() {
  if (presenter.mode != cmTerminal) return;
  ConsolePresent();
  const bool notice = presenter.too_small;
  WriteAll(notice ? std::string("\x1b[0m\r\n") : RenderFrameLeave(presenter.shown));
  tcsetattr(STDIN_FILENO, TCSADRAIN, &presenter.saved_termios);
  RestoreSignals();
  presenter.mode = cmHeadless;
  presenter.pen = TerminalPen{};
}

void ConsoleRestoreModes() {
  if (presenter.mode != cmTerminal) return;
  GiveTerminalBack();
  RestoreSignals();
  presenter.mode = cmHeadless;
}
