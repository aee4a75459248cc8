// The terminal presenter and keyboard on a real pseudo-terminal: a child process runs the console
// with the pty as its terminal while the test reads the screen bytes and types keys.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/keyboard.h"

namespace {

// Written straight to the terminal by the child, so the test can cut the stream into phases.
void Marker(const char* text) {
  ssize_t ignored = write(STDOUT_FILENO, text, strlen(text));
  (void)ignored;
}

[[noreturn]] void ExitNow(int code) { _exit(code); }

// The next key, waiting at most 10 s (the child's own key loop, as the door library runs it).
int NextKey() {
  for (int waited = 0; waited < 10'000; waited += 2) {
    if (LocalKeyPressed()) return LocalReadKey();
    SleepMs(2);
  }
  return -1;
}

void EarlierExitStep() { ConsoleWrite("\r\nbye"); }

// The child: exit code 0 when everything it can see for itself was right.
[[noreturn]] void RunConsoleOnTerminal() {
  setenv("LC_ALL", "C.UTF-8", 1);
  SetHaltHook(&ExitNow);
  ClockOverride(nullptr);
  LocalKeyScriptClear();
  ExitProc = &EarlierExitStep;
  ConsoleReset();
  ConsoleWrite("hello");
  ConsoleOpen();
  if (ConsoleCurrentMode() != cmTerminal || !LocalKeyboardPresent()) _exit(11);
  termios mode{};
  tcgetattr(STDIN_FILENO, &mode);
  if ((mode.c_lflag & (ECHO | ICANON | ISIG)) != 0 || (mode.c_iflag & ICRNL) != 0) _exit(12);
  Marker("<A>");
  ConsolePresent();  // nothing changed
  Marker("<B>");
  ConsoleWrite(" world\xB0");
  ConsolePresent();
  ConsolePresent();
  Marker("<C>");
  if (NextKey() != 0 || NextKey() != 72) _exit(13);
  Marker("<D>");
  if (NextKey() != 27) _exit(14);
  Marker("<E>");
  if (NextKey() != 8 || NextKey() != 3) _exit(15);
  Marker("<F>");
  Halt(0);
}

struct ChildRun {
  std::string screen;
  int status = -1;
};

// Once the screen holds the marker: type the keys, or send the signal.
struct Action {
  std::string marker;
  std::string keys;
  int signal_number = 0;
};

// Runs the child on a new pty, acting on its markers; `after` gets the pty's final modes.
ChildRun RunOnPty(const std::vector<Action>& actions, termios* after) {
  ChildRun run;
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  EXPECT_GE(master, 0);
  grantpt(master);
  unlockpt(master);
  std::string slave_name = ptsname(master);
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int slave = open(slave_name.c_str(), O_RDWR);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    close(slave);
    close(master);
    RunConsoleOnTerminal();
  }
  size_t typed = 0;
  for (;;) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 20'000) <= 0) break;  // a hung child fails the test instead of hanging it
    char buffer[4096];
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO: the child has gone and the slave is closed
    run.screen.append(buffer, static_cast<size_t>(n));
    while (typed < actions.size() && run.screen.find(actions[typed].marker) != std::string::npos) {
      const Action& action = actions[typed++];
      if (action.signal_number != 0) kill(pid, action.signal_number);
      ssize_t w = write(master, action.keys.data(), action.keys.size());
      EXPECT_EQ(w, static_cast<ssize_t>(action.keys.size()));
    }
  }
  if (after != nullptr) tcgetattr(master, after);
  kill(pid, SIGKILL);  // no-op when it has ended by itself
  waitpid(pid, &run.status, 0);
  close(master);
  return run;
}

std::string Between(const std::string& s, const std::string& from, const std::string& to) {
  size_t a = s.find(from);
  size_t b = s.find(to);
  if (a == std::string::npos || b == std::string::npos || b < a) return "<missing>";
  return s.substr(a + from.size(), b - a - from.size());
}

TEST(ConsoleTerminalTest, DrawsChangesDecodesKeysAndGivesTheTerminalBack) {
  termios after{};
  ChildRun run = RunOnPty({{"<C>", "\x1b[A"}, {"<D>", "\x1b"}, {"<E>", "\x7f\x03"}}, &after);
  ASSERT_TRUE(WIFEXITED(run.status)) << run.screen;
  EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.screen;

  std::string opening = run.screen.substr(0, run.screen.find("<A>"));
  EXPECT_NE(opening.find("\x1b[2J"), std::string::npos);
  EXPECT_NE(opening.find("hello"), std::string::npos);
  EXPECT_EQ(Between(run.screen, "<A>", "<B>"), "");  // nothing changed, nothing sent

  std::string change = Between(run.screen, "<B>", "<C>");
  EXPECT_NE(change.find("world\xe2\x96\x91"), std::string::npos) << change;  // CP437 0xB0 in UTF-8
  EXPECT_EQ(change.find("hello"), std::string::npos);
  EXPECT_EQ(change.find("\x1b[2J"), std::string::npos);

  // The exit step lets the earlier step draw first, then leaves the cursor below the picture.
  std::string ending = run.screen.substr(run.screen.find("<F>"));
  EXPECT_NE(ending.find("bye"), std::string::npos) << ending;
  EXPECT_LT(ending.find("bye"), ending.find("\x1b[0m\x1b[2H\r\n")) << ending;
  EXPECT_NE(after.c_lflag & ECHO, 0u);
  EXPECT_NE(after.c_lflag & ICANON, 0u);
  EXPECT_NE(after.c_lflag & ISIG, 0u);
}

TEST(ConsoleTerminalTest, WithoutATerminalNothingIsShownAndNoKeysExist) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    ExitProc = nullptr;
    LocalKeyScriptClear();
    ConsoleReset();
    ConsoleOpen();
    ConsoleWrite("invisible");
    ConsolePresent();
    ConsoleClose();
    bool headless = ConsoleIsHeadless() && !LocalKeyboardPresent() && !LocalKeyPressed();
    _exit(headless && ExitProc == nullptr ? 0 : 1);
  }
  close(out[1]);
  std::string shown;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) shown.append(buffer, n);
  close(out[0]);
  int status = -1;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(shown, "");
}

TEST(ConsoleTerminalTest, TerminatedEditorLeavesTheTerminalUsable) {
  termios after{};
  ChildRun run = RunOnPty({{"<C>", "", SIGTERM}}, &after);
  ASSERT_TRUE(WIFSIGNALED(run.status)) << run.screen;
  EXPECT_EQ(WTERMSIG(run.status), SIGTERM);
  EXPECT_NE(after.c_lflag & ECHO, 0u);
  EXPECT_NE(after.c_lflag & ICANON, 0u);
  EXPECT_NE(run.screen.substr(run.screen.find("<C>")).find("\x1b[0m"), std::string::npos);
}

}  // namespace
