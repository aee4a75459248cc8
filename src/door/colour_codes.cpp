// The colour-code languages on top of DoorWrite: the backtick renderer, the backtick-to-tilde
// rewrite, the tilde-code printer behind the print family, StripCodes and centring.
#include <algorithm>

#include "door/helpers.h"
#include "door/output.h"
#include "runtime/console.h"

namespace {

// Backtick code character to PC colour; -1 for a character that is no colour.
int BacktickColour(char code) {
  static constexpr std::string_view kCodes = "1234567890!@#$%";  // colours 1 to 15 in order
  size_t at = kCodes.find(code);
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

// Hex digit of a tilde code; any other character counts as 0.
uint8_t TildeHex(char c) {
  c = UpperChar(c);
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  return 0;
}

uint8_t TildeNumber(std::string_view args) { return static_cast<uint8_t>(StrToIntLead(args)); }

void TildeBackground(std::string_view args) { DoorSetBackground(TildeHex(args[0])); }
void TildeForeground(std::string_view args) { DoorSetForeground(TildeHex(args[0])); }
void TildeColours(std::string_view args) {
  uint8_t background = TildeHex(args[0]);
  uint8_t foreground = TildeHex(args[1]);
  if (background > 7) {
    background = static_cast<uint8_t>(background - 8);
    foreground |= 0x80;  // blink: carried, never shown
  }
  DoorSetForeground(foreground);
  DoorSetBackground(background);
}
void TildeClearScreen(std::string_view) { DoorClearScreen(); }
void TildeColumn(std::string_view args) { DoorGotoColumn(TildeNumber(args)); }
void TildeRow(std::string_view args) {
  DoorGotoXY(static_cast<uint8_t>(ConsoleWhereX()), TildeNumber(args));
}
void TildeClearEol(std::string_view) { DoorClearEol(); }

struct TildeCode {
  char letter;
  uint8_t length;  // the tilde and the letter included
  void (*act)(std::string_view args);
};

constexpr TildeCode kTildeCodes[] = {
    {'B', 3, TildeBackground}, {'C', 4, TildeColours}, {'F', 3, TildeForeground},
    {'W', 2, TildeClearScreen}, {'X', 4, TildeColumn},  {'Y', 4, TildeRow},
    {'Z', 2, TildeClearEol},
};

// The code that starts at text[at], or nullptr when there is none: no tilde, an unknown letter, or
// a code cut short by the end of the text. Whatever is no code is plain text to the printer and to
// StripCodes alike, so both always end and agree on what is visible.
const TildeCode* TildeCodeAt(std::string_view text, size_t at) {
  if (text[at] != '~' || at + 1 >= text.size()) return nullptr;
  const char letter = UpperChar(text[at + 1]);
  for (const TildeCode& code : kTildeCodes)
    if (code.letter == letter) return at + code.length <= text.size() ? &code : nullptr;
  return nullptr;
}

// Texts are short strings: longer ones are cut to their first 255 characters.
std::string_view Short(std::string_view text) { return text.substr(0, kShortStringMax); }

// Prints a text that holds tilde codes and hands back an empty text; a text without any is handed
// back whole for the caller to write in one piece.
std::string TildePrint(std::string_view text, bool translate) {
  std::string work = translate ? TranslateBackticks(text) : std::string(Short(text));
  if (work.find('~') == std::string::npos) return work;
  std::string_view rest = work;
  size_t i = 0;
  while (i < rest.size()) {
    if (const TildeCode* code = TildeCodeAt(rest, i)) {
      code->act(rest.substr(i + 2, code->length - 2u));
      i += code->length;
    } else {
      DoorWrite(rest.substr(i, 1));
      ++i;
    }
  }
  return {};
}

std::string TildePrint(std::string_view text) { return TildePrint(text, BacktickTranslation); }

void MoveToCentre(std::string_view text) {
  DoorGotoXY(CentredColumn(text), static_cast<uint8_t>(ConsoleWhereY()));
}

}  // namespace

std::string TranslateBackticks(std::string_view text) {
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  text = Short(text);
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '`') {
      out += text[i++];
      continue;
    }
    if (i + 1 == text.size()) break;  // a backtick at the end goes
    const char code = UpperChar(text[i + 1]);
    const int colour = BacktickColour(code);
    if (colour > 0) {
      out += "~C0";
      out += kHex[colour];
      i += 2;
    } else if (code == 'B') {
      i += 2;
    } else {
      ++i;  // the backtick alone goes; what follows is looked at again
    }
  }
  if (out.size() > kShortStringMax) out.resize(kShortStringMax);
  return out;
}

void DoorPrintColour(std::string_view text) {
  text = Short(text);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '`') {
      if (i + 1 < text.size()) {
        int colour = BacktickColour(text[++i]);
        if (colour > 0) DoorSetForeground(static_cast<uint8_t>(colour));
      }
      continue;
    }
    DoorWrite(text.substr(i, 1));
  }
}

void DoorPrintLn(std::string_view text) { DoorWriteLn(TildePrint(text)); }

void DoorPrintColourLn(std::string_view text) {
  DoorPrintColour(TildePrint(text));
  DoorNewLine();
}

void DoorPrintCodedLn(std::string_view text) { DoorPrintColourLn(TildePrint(text)); }

void DoorPrintAt(uint8_t column, uint8_t row, std::string_view text) {
  DoorGotoXY(column, row);
  DoorWrite(TildePrint(text));
}

void DoorPrintCentred(std::string_view text) {
  MoveToCentre(text);
  DoorWrite(TildePrint(text, true));
}

void DoorPrintCentredLn(std::string_view text) {
  MoveToCentre(text);
  DoorWriteLn(TildePrint(text, true));
}

std::string StripCodes(std::string_view text) {
  std::string work = BacktickTranslation ? TranslateBackticks(text) : std::string(Short(text));
  std::string out;
  out.reserve(work.size());
  size_t i = 0;
  while (i < work.size()) {
    if (const TildeCode* code = TildeCodeAt(work, i))
      i += code->length;
    else
      out += work[i++];
  }
  return out;
}

// The centred print always translates backticks, so its width is measured on the translated text.
// A text as wide as the screen or wider starts at column 1.
uint8_t CentredColumn(std::string_view text) {
  const auto visible = static_cast<int>(StripCodes(TranslateBackticks(text)).size());
  return static_cast<uint8_t>(std::max(1, 40 - visible / 2));
}
