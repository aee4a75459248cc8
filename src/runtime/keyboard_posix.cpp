// The local keyboard on a POSIX terminal: stdin in raw mode (set up by the console presenter), read
// without waiting, with escape sequences decoded into PC key codes.
#include <cerrno>
#include <string>
#include <unistd.h>

#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/key_decoder.h"
#include "runtime/keyboard.h"

namespace {

struct KeyboardState {
  std::string script;  // test keys, read before the terminal
  KeyDecoder decoder;
};
KeyboardState keyboard;

// Everything the terminal has for us now. Raw mode has VMIN = VTIME = 0, so read never waits.
void ReadTerminal() {
  if (ConsoleCurrentMode() != cmTerminal) return;
  unsigned char buffer[64];
  ssize_t n = 0;
  do {
    n = read(STDIN_FILENO, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  int32_t now = MsOfDay();
  if (n <= 0) {
    keyboard.decoder.Tick(now);  // nothing more came: a lone Esc may be due
    return;
  }
  for (ssize_t i = 0; i < n; ++i) keyboard.decoder.Feed(buffer[i], now);
}

}  // namespace

bool LocalKeyPressed() {
  if (!keyboard.script.empty()) return true;
  if (!keyboard.decoder.HasOutput()) ReadTerminal();
  return keyboard.decoder.HasOutput();
}

uint8_t LocalReadKey() {
  if (!keyboard.script.empty()) {
    auto c = static_cast<uint8_t>(keyboard.script.front());
    keyboard.script.erase(0, 1);
    return c;
  }
  return keyboard.decoder.TakeByte();
}

bool LocalKeyboardPresent() {
  return ConsoleCurrentMode() == cmTerminal || !keyboard.script.empty() ||
         keyboard.decoder.HasOutput();
}

bool LocalKeyPending() { return keyboard.decoder.Pending(); }

void LocalKeyScript(std::string_view bytes) { keyboard.script.append(bytes); }
void LocalKeyboardReset() { keyboard = {}; }
