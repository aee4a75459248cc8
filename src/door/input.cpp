// Keys from the sysop's keyboard and the caller's channel, key choices and the edited input field.
#include "door/input.h"

#include <algorithm>
#include <cstdio>

#include "comm/channel.h"
#include "door/helpers.h"
#include "door/output.h"
#include "door/periodic.h"
#include "door/session.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/key_decoder.h"
#include "runtime/keyboard.h"
#include "runtime/signals.h"
#include "runtime/waiter.h"

const std::string_view kStandardInputSet =
    "`1234567890-=\\qwertyuiop[]asdfghjkl;'zxcvbnm,./"
    "~!@#$%^&*()_+|QWERTYUIOP{}ASDFGHJKL:\"ZXCVBNM<>? ";
const std::string_view kNameInputSet = "qwertyuiopasdfghjklzxcvbnmQWERTYUIOPASDFGHJKLZXCVBNM ";

namespace {

struct InputState {
  bool last_key_extended = false;
  bool last_input_escaped = false;
  // The caller's terminal sends the same escape sequences as the sysop's, so its keys go through
  // the same decoder: an arrow is an extended key, never an Esc followed by letters that run
  // commands.
  KeyDecoder remote_decoder;
};
InputState input;

struct Key {
  char code;
  bool extended;
};

// Headless, local and out of scripted keys: no key can ever come, so waiting would hang for good.
[[noreturn]] void NoKeySource() {
  std::fputs("zorvan32: there is neither a terminal nor a caller to read keys from\n", stderr);
  std::fflush(stderr);
  Halt(1);
}

// An extended local key is 0 and its scan code; a lone 0 with nothing after it is dropped.
bool ReadLocalKey(Key& key) {
  uint8_t byte = LocalReadKey();
  if (byte != 0) {
    key = {static_cast<char>(byte), false};
    return true;
  }
  if (!LocalKeyPressed()) return false;
  key = {static_cast<char>(LocalReadKey()), true};
  return true;
}

// Everything the caller has sent so far goes into the decoder. The line feed is dropped (CR is the
// line end); NUL and a byte already waiting is an extended key, a NUL alone is dropped.
void PullRemoteBytes() {
  while (ChannelCharReady()) {
    auto byte = static_cast<uint8_t>(ChannelReadChar());
    if (byte == '\n') continue;
    if (byte == 0) {
      if (ChannelCharReady())
        input.remote_decoder.PutExtended(static_cast<uint8_t>(ChannelReadChar()));
      continue;
    }
    input.remote_decoder.Feed(byte, MsOfDay());
  }
  if (input.remote_decoder.Pending()) input.remote_decoder.Tick(MsOfDay());
}

bool RemoteKeyReady() {
  if (DoorIsLocal()) return false;
  if (!input.remote_decoder.HasOutput()) PullRemoteBytes();
  return input.remote_decoder.HasOutput();
}

Key ReadRemoteKey() {
  auto byte = static_cast<char>(input.remote_decoder.TakeByte());
  if (byte != 0) return {byte, false};
  return {static_cast<char>(input.remote_decoder.TakeByte()), true};
}

// A decoder holding the start of a sequence is ended by the clock alone, so such a wait is short.
constexpr uint32_t kPrefixWaitMs = 10;

// Sleeps until something can have changed: a key, the caller's line, a wake from the channel's
// threads or a signal, or the next periodic check. Without any real source (scripted keys, a test's
// clock) it naps for a millisecond as the polling loop always did. line_usable goes false when the
// line reported a hang-up, so this key wait does not keep waking on it.
void WaitForKeyOrCheck(bool& line_usable) {
  const bool terminal = ConsoleCurrentMode() != cmHeadless;
  const bool remote = !DoorIsLocal() && ChannelIsOpen();
  const WaitSource line = remote && line_usable ? ChannelWaitSource() : WaitSource{};
  if (ClockOverridden() || (!terminal && !remote)) {
    SleepMs(1);
    return;
  }
  if (remote && ChannelLineLostSeen()) DoorCheckSoon();
  uint32_t timeout = DoorMsUntilCheck();
  if (LocalKeyPending() || input.remote_decoder.Pending())
    timeout = std::min(timeout, kPrefixWaitMs);
  if (WaitForInput(true, line, timeout) == woLineClosed) {
    line_usable = false;
    DoorCheckSoon();
  }
  // The sysop's terminal hung up: a session ends at its next check as on SIGHUP; the plain editor
  // has no session to end, so it ends here (every change is on disk already).
  if (HangupSignalled() && !door_session.ChecksEnabled) Halt(0);
}

bool Allowed(std::string_view allowed, char key) {
  return allowed.find(key) != std::string_view::npos;
}

}  // namespace

void DoorInputReset() { input = {}; }

bool DoorKeyPressed() {
  DoorFlushOutput();
  DoorPeriodicCheck();
  return LocalKeyPressed() || RemoteKeyReady();
}

// The one waiting loop of the program: every wait for a key passes here.
char DoorReadKey() {
  Key key{};
  bool line_usable = true;
  DoorKeyWaitBegins();
  for (;;) {
    if (!DoorKeyPressed()) {
      if (DoorIsLocal() && !LocalKeyboardPresent()) NoKeySource();
      DoorFlushOutput();  // the status line the check just drew
      WaitForKeyOrCheck(line_usable);
      continue;
    }
    if (LocalKeyPressed()) {
      if (ReadLocalKey(key)) break;
    } else if (RemoteKeyReady()) {
      key = ReadRemoteKey();
      break;
    }
  }
  door_session.LastKeyTime = SecondsOfDay();
  input.last_key_extended = key.extended;
  return key.code;
}

bool DoorLastKeyExtended() { return input.last_key_extended; }

char DoorGetChoice(std::string_view allowed) {
  for (;;) {
    char key = UpperChar(DoorReadKey());
    if (!DoorLastKeyExtended() && Allowed(allowed, key)) return key;
  }
}

namespace {

struct InputField {
  std::string text;
  uint8_t start_column;
  uint8_t width;
  char echo;
};

// Typed text is shown as typed: a bar never has two characters after it in the same write, so
// DoorWrite cannot take it and what follows for a pipe code.
void WriteTyped(std::string_view text) {
  while (!text.empty()) {
    size_t bar = text.find('|');
    size_t n = bar == std::string_view::npos ? text.size() : bar + 1;
    DoorWrite(text.substr(0, n));
    text.remove_prefix(n);
  }
}

void ShowText(const InputField& field, std::string_view shown) {
  if (field.echo != 0)
    WriteTyped(std::string(shown.size(), field.echo));
  else
    WriteTyped(shown);
}

uint8_t FieldColumn(const InputField& field, size_t offset) {
  return static_cast<uint8_t>(std::min<size_t>(field.start_column + offset, 255));
}

// A text wider than the field shows its end, so the cursor always follows the last character.
void DrawField(const InputField& field) {
  DoorGotoColumn(field.start_column);
  std::string_view text = field.text;
  if (text.size() > field.width) {
    ShowText(field, text.substr(text.size() - field.width));
    DoorGotoColumn(FieldColumn(field, field.width));
    return;
  }
  ShowText(field, text);
  if (text.size() < field.width) DoorWrite(std::string(field.width - text.size(), ' '));
  DoorGotoColumn(FieldColumn(field, text.size()));
}

void TypeKey(InputField& field, char key) {
  field.text += key;
  if (field.text.size() > field.width)
    DrawField(field);
  else
    DoorWrite(std::string_view(field.echo != 0 ? &field.echo : &key, 1));
}

void RubOut(InputField& field) {
  field.text.pop_back();
  DoorWrite("\b \b");
  if (field.text.size() >= field.width) DrawField(field);  // it was scrolled
}

}  // namespace

std::string DoorInputField(uint8_t attribute, uint8_t max_length, uint8_t width, char echo,
                           std::string_view allowed, std::string_view default_text) {
  const std::string_view start_text = default_text.substr(0, max_length);
  const uint8_t saved_attribute = ConsoleAttr();
  DoorSetAttr(attribute);
  InputField field{std::string(start_text), static_cast<uint8_t>(ConsoleWhereX()), width, echo};
  DrawField(field);
  bool escaped = false;
  for (;;) {
    const char key = DoorReadKey();
    if (DoorLastKeyExtended()) continue;  // arrows and the like are no characters
    if (key == kKeyEscape) {
      escaped = true;
      break;
    }
    if (key == kKeyEnter) {
      if (!field.text.empty()) break;
    } else if (key == kKeyBackspace) {
      if (!field.text.empty()) RubOut(field);
    } else if (key == kKeyCtrlY) {
      if (!field.text.empty()) {
        field.text.clear();
        DrawField(field);
      }
    } else if (Allowed(allowed, key) && field.text.size() < max_length) {
      TypeKey(field, key);
    }
  }
  DoorSetAttr(saved_attribute);
  DoorNewLine();
  input.last_input_escaped = escaped;
  return escaped ? std::string(start_text) : field.text;
}

bool DoorInputEscaped() { return input.last_input_escaped; }

std::string DoorInputLine() { return DoorInputField(12, 20, 20, 0, kStandardInputSet, {}); }
