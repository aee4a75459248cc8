// The local keyboard, as the door library expects it: bytes, an extended key as 0 and its PC scan code.
#pragma once
#include <cstdint>
#include <string_view>

// Scan codes of the extended keys that the terminal decoder produces.
enum ScanCode : uint8_t {
  scF1 = 59, scF10 = 68, scHome = 71, scUp = 72, scPgUp = 73, scLeft = 75, scRight = 77,
  scEnd = 79, scDown = 80, scPgDn = 81, scIns = 82, scDel = 83, scShiftTab = 15, scF11 = 133,
  scF12 = 134,
};

// Whether a key byte is waiting (polls the terminal or console without blocking).
bool LocalKeyPressed();
// The next key byte; call only after LocalKeyPressed. An extended key is two bytes, 0 then the scan
// code, read by two calls.
uint8_t LocalReadKey();
// Whether any local source of keys exists: a terminal, the Win32 console or a test script with keys
// left. Headless without a script there is none.
bool LocalKeyboardPresent();
// Whether the terminal decoder holds the start of a sequence that only the clock can end (a lone
// Esc): a wait must come back soon to let it time out.
bool LocalKeyPending();

// Tests: keys as bytes, read before any real keyboard (0 + scan code for an extended key).
void LocalKeyScript(std::string_view bytes);
// The script emptied and a key half read forgotten (part of RuntimeReset).
void LocalKeyboardReset();
