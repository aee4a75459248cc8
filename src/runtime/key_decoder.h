// Terminal key decoding: escape sequences of the arrows, Home, End, PgUp, PgDn, Ins, Del and F1-F10
// become 0 + PC scan code; DEL (127) is Backspace (8); an Esc with nothing after it is 27 once the
// caller's clock says the sequence is over.
#pragma once
#include <cstdint>
#include <string>

class KeyDecoder {
 public:
  static constexpr int32_t kLoneEscMs = 50;

  // Feeds one byte read from the terminal at time now_ms; completed keys go to the output.
  void Feed(uint8_t byte, int32_t now_ms);
  // Called when no byte is waiting: a pending prefix older than kLoneEscMs is flushed (a lone Esc
  // becomes 27; an unknown sequence is given up as its bytes).
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
