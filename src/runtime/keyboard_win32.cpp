// The local keyboard on the Win32 console: conio's keys, where an extended key comes as 0 or 0xE0
// and then its scan code; the door library wants 0 and the scan code.
#include <conio.h>

#include <string>

#include "runtime/console.h"
#include "runtime/keyboard.h"

namespace {

std::string script;     // test keys, read before the console
int pending_scan = -1;  // second half of an extended key already taken from the console

bool ConsoleKeys() { return ConsoleCurrentMode() == cmWin32; }

}  // namespace

bool LocalKeyPressed() {
  if (!script.empty() || pending_scan >= 0) return true;
  return ConsoleKeys() && _kbhit() != 0;
}

uint8_t LocalReadKey() {
  if (!script.empty()) {
    auto c = static_cast<uint8_t>(script.front());
    script.erase(0, 1);
    return c;
  }
  if (pending_scan >= 0) {
    auto scan = static_cast<uint8_t>(pending_scan);
    pending_scan = -1;
    return scan;
  }
  if (!ConsoleKeys() || _kbhit() == 0) return 0;  // never block a caller that did not ask first
  int c = _getch();
  if (c == 0 || c == 0xE0) {
    pending_scan = _getch() & 0xFF;
    return 0;
  }
  return static_cast<uint8_t>(c);
}

bool LocalKeyboardPresent() { return ConsoleKeys() || !script.empty() || pending_scan >= 0; }

bool LocalKeyPending() { return false; }

void LocalKeyScript(std::string_view bytes) { script.append(bytes); }
void LocalKeyScriptClear() { script.clear(); }
