// Keys and lines: one key from whichever keyboard has one, a key out of a set, an edited field.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// All 95 printable ASCII characters in keyboard order (backtick, tilde and bar can be typed).
extern const std::string_view kStandardInputSet;
// The 52 letters and the blank.
extern const std::string_view kNameInputSet;

constexpr char kKeyBackspace = 8;
constexpr char kKeyEnter = 13;
constexpr char kKeyCtrlY = 25;
constexpr char kKeyEscape = 27;

// Runs the periodic check, then whether a local key or (door mode) a caller's byte is waiting.
bool DoorKeyPressed();
// Waits for one key. An extended key comes back as its scan code, with DoorLastKeyExtended() true.
char DoorReadKey();
// Whether the key that DoorReadKey returned last was an extended key (arrow, Home, F1 ...). Callers
// that look for letters ignore such keys, so PgDn (scan code 81) is never taken for Q.
bool DoorLastKeyExtended();
// Reads keys, upper-cased, until one is in allowed (extended keys never are); nothing is echoed.
char DoorGetChoice(std::string_view allowed);
std::string DoorInputField(uint8_t attribute, uint8_t max_length, uint8_t width, char echo,
                           std::string_view allowed, std::string_view default_text);
// Whether the last DoorInputField ended with Esc (its answer is then the default): editors back out.
bool DoorInputEscaped();
// The standard line: attribute 12, at most 20 characters, width 20, the standard set, no default.
std::string DoorInputLine();

// Input state back to its start (DoorLibraryReset).
void DoorInputReset();
