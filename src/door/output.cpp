// DoorWrite and the ANSI sequences: the one path by which bytes reach the caller and the local screen.
#include "door/output.h"

#include <algorithm>

#include "comm/channel.h"
#include "comm/local_screen.h"
#include "door/session.h"
#include "runtime/console.h"

bool BacktickTranslation = false;

namespace {

// The caller's bytes, gathered so that a screen drawn a few characters at a time leaves in a few
// sends rather than one per write. Fixed storage: nothing is allocated per write.
struct Gathered {
  static constexpr size_t kCapacity = 4'096;
  char bytes[kCapacity];
  size_t length = 0;
};
struct OutputState {
  DoorOutputTapFn tap = nullptr;
  Gathered gathered;
};
OutputState output;

void SendGathered() {
  if (output.gathered.length == 0) return;
  int32_t written = 0;
  ChannelWrite(output.gathered.bytes, static_cast<int32_t>(output.gathered.length), written);
  output.gathered.length = 0;
}

void Gather(std::string_view text) {
  if (output.gathered.length + text.size() > Gathered::kCapacity) SendGathered();
  std::copy(text.begin(), text.end(), output.gathered.bytes + output.gathered.length);
  output.gathered.length += text.size();
}

// Bytes of one write, built on the stack. Appends beyond the short-string limit are dropped, which
// is the cut that a write applies anyway.
class ShortBuffer {
 public:
  void Add(char c) {
    if (length_ < kShortStringMax) data_[length_++] = c;
  }
  void Add(std::string_view text) {
    for (char c : text) Add(c);
  }
  void AddNumber(unsigned value) {
    char digits[10];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0) Add(digits[--n]);
  }
  std::string_view View() const { return {data_, length_}; }

 private:
  char data_[kShortStringMax];
  size_t length_ = 0;
};

constexpr char kEsc = 27;

uint8_t CurrentBackground() { return static_cast<uint8_t>((ConsoleAttr() >> 4) & 7); }

void AddCsi(ShortBuffer& out) {
  out.Add(kEsc);
  out.Add('[');
}

void AddBackground(ShortBuffer& out, uint8_t colour) {
  AddCsi(out);
  out.AddNumber(40u + AnsiColour[colour % 8]);
  out.Add('m');
}

// A dark colour needs the reset (0), which also clears the background, so that goes out again.
void AddForeground(ShortBuffer& out, uint8_t colour, uint8_t background) {
  colour %= 16;
  AddCsi(out);
  out.Add(colour < 8 ? "0;" : "1;");
  out.AddNumber(30u + AnsiColour[colour % 8]);
  out.Add('m');
  if (colour < 8) AddBackground(out, background);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A bar and two hex digits become the attribute sequence; anything else stays as it is.
void TranslatePipeCodes(std::string_view text, ShortBuffer& out) {
  const uint8_t background = CurrentBackground();
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '|' && i + 2 < text.size()) {
      int high = HexValue(text[i + 1]);
      int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        auto attribute = static_cast<uint8_t>((high * 16 + low) % 128);
        AddForeground(out, attribute % 16, background);
        AddBackground(out, static_cast<uint8_t>(attribute / 16));
        i += 3;
        continue;
      }
    }
    out.Add(text[i++]);
  }
}

void Send(const ShortBuffer& out) { DoorWrite(out.View()); }

}  // namespace

void DoorOutputReset() {
  BacktickTranslation = false;
  output = {};
}

void DoorFlushOutput() {
  SendGathered();
  ConsolePresent();
}

void DoorSetOutputTap(DoorOutputTapFn tap) { output.tap = tap; }

void DoorWrite(std::string_view text) {
  text = text.substr(0, std::min(text.size(), kShortStringMax));
  ShortBuffer translated;
  if (text.find('|') != std::string_view::npos) {
    TranslatePipeCodes(text, translated);
    text = translated.View();
  }
  if (text.empty()) return;
  if (!DoorIsLocal()) Gather(text);
  if (output.tap != nullptr) output.tap(text);
  LocalWriteAnsi(text);
}

void DoorWriteLn(std::string_view text) {
  // The line end is added before DoorWrite's cut, so a text of 254 or more loses some or all of it.
  char line[kShortStringMax + 2];
  size_t n = std::min(text.size(), kShortStringMax);
  if (n != 0) std::copy_n(text.data(), n, line);  // an empty view may carry no data pointer
  line[n] = '\r';
  line[n + 1] = '\n';
  DoorWrite(std::string_view(line, n + 2));
}

void DoorNewLine() { DoorWrite("\r\n"); }

void DoorSkipLines(uint8_t count) {
  for (int i = 0; i < count; ++i) DoorNewLine();
}

void DoorGotoXY(uint8_t column, uint8_t row) {
  ShortBuffer out;
  AddCsi(out);
  out.AddNumber(row);
  out.Add(';');
  out.AddNumber(column);
  out.Add('f');
  Send(out);
}

void DoorClearScreen() {
  ShortBuffer out;
  AddCsi(out);
  out.Add("2J");
  AddCsi(out);
  out.Add("1;1f");
  Send(out);
}

void DoorClearEol() {
  ShortBuffer out;
  AddCsi(out);
  out.Add('K');
  Send(out);
}

// To the left edge first, then right: needs no knowledge of where the cursor is.
void DoorGotoColumn(uint8_t column) {
  ShortBuffer out;
  AddCsi(out);
  out.Add("255D");
  if (column > 1) {
    AddCsi(out);
    out.AddNumber(column - 1u);
    out.Add('C');
  }
  Send(out);
}

void DoorSetForeground(uint8_t colour) {
  ShortBuffer out;
  AddForeground(out, colour, CurrentBackground());
  Send(out);
}

void DoorSetBackground(uint8_t colour) {
  ShortBuffer out;
  AddBackground(out, colour);
  Send(out);
}

void DoorSetAttr(uint8_t attribute) {
  DoorSetForeground(attribute % 16);
  DoorSetBackground(attribute / 16);
}
