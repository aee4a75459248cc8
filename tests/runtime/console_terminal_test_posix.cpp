// The terminal presenter and keyboard on a real pseudo-terminal: a child process runs the console
// with the pty as its terminal while the test reads the screen bytes and types keys.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/keyboard.h"

namespace {

// Written straight to the terminal by the child, so the test can cut the stream into phases.
void Marker(const char* text) { (void)!write(STDOUT_FILENO, text, strlen(text)); }

[[noreturn]] void ExitNow(int code) { _exit(code); }

// The child's own key loop, as the door library runs it; a hung child is killed by the test.
int NextKey() {
  while (!LocalKeyPressed()) SleepMs(2);
  return LocalReadKey();
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
  termios mode{};
  tcgetattr(STDIN_FILENO, &mode);
  if (ConsoleCurrentMode() != cmTerminal || !LocalKeyboardPresent()) _exit(11);
  if ((mode.c_lflag & (ECHO | ICANON | ISIG)) != 0 || (mode.c_iflag & ICRNL) != 0) _exit(12);
  Marker("<A>");
  ConsolePresent();  // nothing changed
  Marker("<B>");
  ConsoleWrite(" world\xB0");
  ConsolePresent();
  Marker("<C>");
  if (NextKey() != 0 || NextKey() != 72 || NextKey() != 8) _exit(13);
  Halt(0);
}

TEST(ConsoleTerminalTest, DrawsChangesDecodesKeysAndGivesTheTerminalBack) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  grantpt(master);
  unlockpt(master);
  std::string slave_name = ptsname(master);
  pid_t pid = fork();
  if (pid == 0) {
    setsid();
    int slave = open(slave_name.c_str(), O_RDWR);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    close(master);
    RunConsoleOnTerminal();
  }
  std::string screen;
  bool typed = false;
  pollfd fd{master, POLLIN, 0};
  char buffer[4096];
  // Until EIO (the child has gone); a hung child fails the test instead of hanging it.
  for (ssize_t n; poll(&fd, 1, 20'000) > 0 && (n = read(master, buffer, sizeof buffer)) > 0;) {
    screen.append(buffer, static_cast<size_t>(n));
    if (!typed && screen.find("<C>") != std::string::npos)
      typed = write(master, "\x1b[A\x7f", 4) == 4;  // up arrow, then DEL
  }
  termios after{};
  tcgetattr(master, &after);
  kill(pid, SIGKILL);  // no-op when it has ended by itself
  int status = -1;
  waitpid(pid, &status, 0);
  close(master);
  ASSERT_TRUE(WIFEXITED(status)) << screen;
  EXPECT_EQ(WEXITSTATUS(status), 0) << screen;
  size_t a = screen.find("<A>"), b = screen.find("<B>"), c = screen.find("<C>");
  ASSERT_TRUE(a < b && b < c && c != std::string::npos) << screen;
  EXPECT_LT(screen.find("\x1b[2J"), a);  // the first frame
  EXPECT_LT(screen.find("hello"), a);
  EXPECT_EQ(b, a + 3);  // nothing changed, nothing sent
  EXPECT_LT(screen.find("world\xe2\x96\x91", b), c) << screen;  // CP437 0xB0 in UTF-8
  EXPECT_EQ(screen.find("hello", a), std::string::npos);  // never drawn again
  // The exit step lets the earlier step draw first, then leaves the cursor below the picture.
  size_t leave = screen.find("\x1b[0m\x1b[2H\r", c);  // the pty may turn the \n into \r\n
  EXPECT_NE(leave, std::string::npos) << screen;
  EXPECT_LT(screen.find("bye", c), leave);
  EXPECT_EQ(after.c_lflag & (ECHO | ICANON | ISIG), tcflag_t(ECHO | ICANON | ISIG));
}

}  // namespace
