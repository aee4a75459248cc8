// The local ANSI renderer: a small state machine over the byte stream, acting on the console model.
#include "comm/local_screen.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "runtime/console.h"
#include "runtime/pc_colours.h"

namespace {

constexpr int kMaxParameters = 10;
constexpr size_t kMaxNumberText = 255;
constexpr int32_t kAbsent = -1;
constexpr int32_t kSavedCursorStart = 0x0101;  // row 1, column 1

struct AnsiParser {
  bool in_sequence = false;
  bool escape_seen = false;
  std::string number_text;
  int index = 1;  // 1-based, as the parameters are numbered
  int32_t parameters[kMaxParameters] = {kAbsent, kAbsent, kAbsent, kAbsent, kAbsent,
                                        kAbsent, kAbsent, kAbsent, kAbsent, kAbsent};
  int32_t saved_cursor = kSavedCursorStart;
};

AnsiParser parser;
// Plain characters waiting for one console write; kept across calls only for its capacity.
std::string pending;

// Decimal value of the digits collected; a number too large for 32 bits counts as no number (0).
int32_t NumberValue(const std::string& digits) {
  int64_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return 0;
  }
  return static_cast<int32_t>(value);
}

void StoreParameter() {
  parser.parameters[parser.index - 1] = NumberValue(parser.number_text);
  parser.number_text.clear();
}

void FlushPending() {
  if (pending.empty()) return;
  ConsoleWrite(pending);
  pending.clear();
}

void StartSequence() {
  parser.in_sequence = true;
  parser.escape_seen = false;
  parser.number_text.clear();
  parser.index = 1;
  std::fill(std::begin(parser.parameters), std::end(parser.parameters), kAbsent);
}

void SequenceByte(char c) {
  if (c == ' ' || c == '<' || c == '=' || c == '>' || c == '?') return;
  if (c >= '0' && c <= '9') {
    if (parser.number_text.size() < kMaxNumberText) parser.number_text.push_back(c);
    return;
  }
  if (c == ';') {
    StoreParameter();
    // More than ten parameters keep overwriting the tenth.
    if (parser.index < kMaxParameters) ++parser.index;
    return;
  }
  FlushPending();
  StoreParameter();
  AnsiExecute(c);
  parser.in_sequence = false;
}

int32_t AtLeastOne(int32_t value) { return value < 1 ? 1 : value; }

// Cursor moves by a count, kept inside the window. Worked in 64 bits: the count may be huge.
void MoveCursor(int64_t d_column, int64_t d_row) {
  int64_t column = std::clamp<int64_t>(ConsoleWhereX() + d_column, 1, ConsoleWindowWidth());
  int64_t row = std::clamp<int64_t>(ConsoleWhereY() + d_row, 1, ConsoleWindowHeight());
  ConsoleGotoXY(static_cast<int>(column), static_cast<int>(row));
}

void InvertAttribute() {
  uint8_t attr = ConsoleAttr();
  ConsoleSetAttr(static_cast<uint8_t>(((attr >> 4) & 0x07) | ((attr & 0x07) << 4)));
}

void SelectGraphic(int32_t value) {
  if (value == 0) {
    ConsoleSetAttr(7);
  } else if (value == 1) {
    ConsoleSetBright();
  } else if (value == 7) {
    InvertAttribute();
  } else if (value == 8) {
    ConsoleSetAttr(0);
  } else if (value >= 30 && value <= 37) {
    uint8_t bright = (ConsoleAttr() & 0x0F) >= 8 ? 8 : 0;
    ConsoleSetForeground(static_cast<uint8_t>(PcColourOfAnsi(value - 30) + bright));
  } else if (value >= 40 && value <= 47) {
    ConsoleSetBackground(PcColourOfAnsi(value - 40));
  }
}

void SelectGraphics() {
  if (parser.parameters[0] < 1) parser.parameters[0] = 0;
  for (int i = 0; i < kMaxParameters && parser.parameters[i] != kAbsent; ++i)
    SelectGraphic(parser.parameters[i]);
}

void GotoSaved(int32_t saved) { ConsoleGotoXY(saved & 0xFF, (saved >> 8) & 0xFF); }

}  // namespace

void LocalWriteAnsi(std::string_view text) {
  for (char c : text) {
    if (c == 27) {
      parser.escape_seen = true;
      parser.in_sequence = false;
    } else if (parser.escape_seen && c == '[') {
      StartSequence();
    } else if (parser.in_sequence) {
      SequenceByte(c);
    } else {
      // After an ESC that did not open a sequence the text shows, and the next "[" still opens one.
      pending.push_back(c);
    }
  }
  FlushPending();
}

void AnsiExecute(char final) {
  int32_t p1 = parser.parameters[0];
  int32_t p2 = parser.parameters[1];
  switch (final) {
    case 'A': MoveCursor(0, -static_cast<int64_t>(AtLeastOne(p1))); break;
    case 'B': MoveCursor(0, AtLeastOne(p1)); break;
    case 'C': MoveCursor(AtLeastOne(p1), 0); break;
    case 'D': MoveCursor(-static_cast<int64_t>(AtLeastOne(p1)), 0); break;
    case 'H':
    case 'f': ConsoleGotoXY(AtLeastOne(p2), AtLeastOne(p1)); break;
    case 'J':
      if (p1 == 2) ConsoleClearWindow();
      break;
    case 'K': ConsoleClearEol(); break;
    case 'm': SelectGraphics(); break;
    case 's': parser.saved_cursor = ConsoleWhereY() * 256 + ConsoleWhereX(); break;
    case 'u': GotoSaved(parser.saved_cursor); break;
    default: break;
  }
}

void ConsoleWriteAt(std::string_view text, uint8_t column, uint8_t row, uint8_t attribute) {
  ConsolePutCells(column, row, text, attribute);
}

void LocalScreenReset() {
  parser = AnsiParser{};
  pending.clear();
}
