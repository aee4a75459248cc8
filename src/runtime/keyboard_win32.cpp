// The local keyboard on the Win32 console: conio's keys, where an extended key comes as 0 or 0xE0
// and then its scan code; the door library wants 0 and the scan code.
#include <conio.h>
#include <windows.h>

#include <string>

#include "runtime/console.h"
#include "runtime/keyboard.h"

namespace {

struct KeyboardState {
  std::string script;     // test keys, read before the console
  int pending_scan = -1;  // second half of an extended key already taken from the console
  bool pending_escape = false;
};
KeyboardState keyboard;

bool ConsoleKeys() { return ConsoleCurrentMode() == cmWin32; }

bool IsModifier(WORD key) {
  return key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL;
}

// Wine's console in a terminal gives Esc as a press of VK_ESCAPE without its character (Windows
// gives 27), which conio passes over: such a press at the head of the input is taken here, with
// the records before it that are no presses.
bool TakeBareEscape() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  INPUT_RECORD records[16];
  DWORD n = 0;
  if (PeekConsoleInputA(input, records, 16, &n) == 0) return false;
  for (DWORD i = 0; i < n; ++i) {
    const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
    if (records[i].EventType != KEY_EVENT || !key.bKeyDown || IsModifier(key.wVirtualKeyCode))
      continue;
    if (key.wVirtualKeyCode != VK_ESCAPE || key.uChar.AsciiChar != 0) return false;
    ReadConsoleInputA(input, records, i + 1, &n);
    return true;
  }
  return false;
}

bool ConsoleKeyWaiting() {
  if (!keyboard.pending_escape && TakeBareEscape()) keyboard.pending_escape = true;
  return keyboard.pending_escape || _kbhit() != 0;
}

}  // namespace

bool LocalKeyPressed() {
  if (!keyboard.script.empty() || keyboard.pending_scan >= 0) return true;
  return ConsoleKeys() && ConsoleKeyWaiting();
}

uint8_t LocalReadKey() {
  if (!keyboard.script.empty()) {
    auto c = static_cast<uint8_t>(keyboard.script.front());
    keyboard.script.erase(0, 1);
    return c;
  }
  if (keyboard.pending_scan >= 0) {
    auto scan = static_cast<uint8_t>(keyboard.pending_scan);
    keyboard.pending_scan = -1;
    return scan;
  }
  if (!ConsoleKeys() || !ConsoleKeyWaiting()) return 0;  // never block a caller that did not ask
  if (keyboard.pending_escape) {
    keyboard.pending_escape = false;
    return 27;
  }
  int c = _getch();
  if (c == 0 || c == 0xE0) {
    keyboard.pending_scan = _getch() & 0xFF;
    return 0;
  }
  return static_cast<uint8_t>(c);
}

bool LocalKeyboardPresent() {
  return ConsoleKeys() || !keyboard.script.empty() || keyboard.pending_scan >= 0 ||
         keyboard.pending_escape;
}

bool LocalKeyPending() { return false; }

void LocalKeyScript(std::string_view bytes) { keyboard.script.append(bytes); }
void LocalKeyboardReset() { keyboard = {}; }
