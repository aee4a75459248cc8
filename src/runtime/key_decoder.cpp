// Terminal key decoding from one table of sequences; a prefix of a sequence waits for more bytes and
// the caller's clock decides when a lone Esc is just Esc.
#include "runtime/key_decoder.h"

#include <string_view>

#include "runtime/clock.h"
#include "runtime/keyboard.h"

namespace {

struct KeySequence {
  std::string_view bytes;  // what follows the ESC
  uint8_t scan;
};

constexpr uint8_t F(int n) { return static_cast<uint8_t>(scF1 + n - 1); }

// ANSI/xterm cursor keys (CSI and SS3 forms), the VT220 "~" keys, rxvt's Home/End, the function
// keys as xterm, VT220/rxvt and the Linux console send them, and Shift-Tab.
constexpr KeySequence kKeySequences[] = {
    {"[A", scUp},    {"[B", scDown},   {"[C", scRight},  {"[D", scLeft},   {"[H", scHome},
    {"[F", scEnd},   {"OA", scUp},     {"OB", scDown},   {"OC", scRight},  {"OD", scLeft},
    {"OH", scHome},  {"OF", scEnd},    {"[1~", scHome},  {"[2~", scIns},   {"[3~", scDel},
    {"[4~", scEnd},  {"[5~", scPgUp},  {"[6~", scPgDn},  {"[7~", scHome},  {"[8~", scEnd},
    {"OP", F(1)},    {"OQ", F(2)},     {"OR", F(3)},     {"OS", F(4)},     {"[11~", F(1)},
    {"[12~", F(2)},  {"[13~", F(3)},   {"[14~", F(4)},   {"[15~", F(5)},   {"[17~", F(6)},
    {"[18~", F(7)},  {"[19~", F(8)},   {"[20~", F(9)},   {"[21~", F(10)},  {"[[A", F(1)},
    {"[[B", F(2)},   {"[[C", F(3)},    {"[[D", F(4)},    {"[[E", F(5)},    {"[23~", scF11},
    {"[24~", scF12}, {"[Z", scShiftTab},
};

constexpr size_t kMaxSequence = 16;  // a longer CSI is no key of any keyboard

uint8_t LookUp(std::string_view bytes) {
  for (const KeySequence& k : kKeySequences)
    if (k.bytes == bytes) return k.scan;
  return 0;
}

bool IsPrefixOfAKey(std::string_view bytes) {
  for (const KeySequence& k : kKeySequences)
    if (k.bytes.size() > bytes.size() && k.bytes.substr(0, bytes.size()) == bytes) return true;
  return false;
}

// Parameter and intermediate bytes run on; a final byte completes the sequence.
bool IsParameterOrIntermediate(uint8_t c) { return c >= 0x20 && c <= 0x3F; }
bool IsFinal(uint8_t c) { return c >= 0x40 && c <= 0x7E; }

// xterm reports a modifier as a second parameter ("[1;5A" is Ctrl-Up, "[3;2~" Shift-Del, "O5P"
// Ctrl-F1); the door has no modifiers, so such a key counts as the plain one.
uint8_t LookUpModified(std::string_view sequence) {
  std::string_view parameters = sequence.substr(1, sequence.size() - 2);
  const char final = sequence.back();
  const size_t semicolon = parameters.find(';');
  std::string_view first = parameters.substr(0, semicolon);
  if (semicolon == std::string_view::npos && sequence[0] == '[') return 0;
  char plain[kMaxSequence + 2];  // the key's unmodified form, built in place
  size_t n = 0;
  plain[n++] = '[';
  if (final == '~') {
    for (char c : first) plain[n++] = c;
    plain[n++] = '~';
    return LookUp(std::string_view(plain, n));
  }
  if (sequence[0] == '[' && !first.empty() && first != "1") return 0;
  plain[n++] = final;
  if (uint8_t scan = LookUp(std::string_view(plain, n))) return scan;
  plain[0] = 'O';
  return LookUp(std::string_view(plain, n));
}

// One byte that is not part of a key sequence, as the door expects it.
void PutPlain(std::string& output, uint8_t byte) {
  if (byte == 127) {
    output.push_back(8);  // DEL is the Backspace key of most terminals
  } else if (byte != 0) {
    // A NUL (Ctrl-Space) would announce an extended key and turn the next byte into a scan code.
    output.push_back(static_cast<char>(byte));
  }
}

}  // namespace

// After ESC: "[" opens a CSI and "O" an SS3 sequence, which run to their final byte and are one key
// whatever they say (a key the door has no code for is dropped whole, so none of its bytes can end
// a field or run a command). ESC and any other byte is Esc and that byte.
void KeyDecoder::Feed(uint8_t byte, int32_t now_ms) {
  if (prefix_.empty()) {
    if (byte == 27) {
      prefix_.push_back(27);
      prefix_start_ = now_ms;
    } else {
      PutPlain(output_, byte);
    }
    return;
  }
  if (prefix_.size() == 1) {
    if (byte == '[' || byte == 'O') {
      prefix_.push_back(static_cast<char>(byte));
      return;
    }
    output_.push_back(27);
    prefix_.clear();
    Feed(byte, now_ms);  // a second ESC starts the next key
    return;
  }
  if (IsParameterOrIntermediate(byte)) {
    if (prefix_.size() <= kMaxSequence) prefix_.push_back(static_cast<char>(byte));
    return;
  }
  if (!IsFinal(byte)) {  // a control byte breaks the sequence off: it is dropped, the byte is not
    prefix_.clear();
    Feed(byte, now_ms);
    return;
  }
  prefix_.push_back(static_cast<char>(byte));
  std::string_view sequence = std::string_view(prefix_).substr(1);
  if (sequence.size() > kMaxSequence) {
    prefix_.clear();
    return;
  }
  uint8_t scan = LookUp(sequence);
  if (scan == 0 && IsPrefixOfAKey(sequence)) return;  // the Linux console's "[[A" for F1
  if (scan == 0) scan = LookUpModified(sequence);
  if (scan != 0) {
    output_.push_back(0);
    output_.push_back(static_cast<char>(scan));
  }
  prefix_.clear();
}

// Nothing more came within the wait: a lone Esc is Esc, and so is Esc followed only by "[" or "O"
// (typed by hand); a sequence broken off later is dropped.
void KeyDecoder::Tick(int32_t now_ms) {
  if (prefix_.empty() || MsElapsed(prefix_start_, now_ms) < kLoneEscMs) return;
  if (prefix_.size() <= 2) Flush();
  prefix_.clear();
}

void KeyDecoder::PutExtended(uint8_t scan) {
  Flush();  // whatever began before it comes first
  output_.push_back(0);
  output_.push_back(static_cast<char>(scan));
}

uint8_t KeyDecoder::TakeByte() {
  if (output_.empty()) return 0;
  auto byte = static_cast<uint8_t>(output_.front());
  output_.erase(0, 1);
  return byte;
}

void KeyDecoder::Flush() {
  for (char c : prefix_) {
    if (c == 27)
      output_.push_back(27);
    else
      PutPlain(output_, static_cast<uint8_t>(c));
  }
  prefix_.clear();
}
