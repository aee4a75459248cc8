// Terminal key decoding, for the sysop's terminal and the caller's alike: escape sequences of the
// arrows, Home, End, PgUp, PgDn, Ins, Del, F1-F12 and Shift-Tab (modified forms included) become
// 0 + PC scan code; any other complete CSI or SS3 sequence is dropped whole; DEL (127) is Backspace
// (8); an Esc with nothing after it is 27 once the caller's clock says the sequence is over.
#pragma once
#include <cstdint>
#include <string>

class KeyDecoder {
 public:
  static constexpr int32_t kLoneEscMs = 50;

  // Feeds one byte read from the terminal at time now_ms; completed keys go to the output.
  void Feed(uint8_t byte, int32_t now_ms);
  // Called when no byte is waiting: a pending prefix older than kLoneEscMs ends (a lone Esc, or
  // Esc with only "[" or "O" after it, gives those keys; a longer unfinished sequence is dropped).
  void Tick(int32_t now_ms);
  // An extended key that arrived already decoded (a caller's NUL and scan code).
  void PutExtended(uint8_t scan);
  bool Pending() const { return !prefix_.empty(); }
  // Decoded key bytes waiting to be read.
  bool HasOutput() const { return !output_.empty(); }
  uint8_t TakeByte();

 private:
  void Flush();
  std::string prefix_;
  std::string output_;
  int32_t prefix_start_ = 0;
};
