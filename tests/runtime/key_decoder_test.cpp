#include "runtime/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/keyboard.h"

namespace {

std::string Drain(KeyDecoder& decoder) {
  std::string keys;
  while (decoder.HasOutput()) keys.push_back(static_cast<char>(decoder.TakeByte()));
  return keys;
}

std::string Ext(int scan) { return std::string(1, '\0') + static_cast<char>(scan); }

// Each sequence after an Esc, followed by a plain letter, gives 0 + the scan code and the letter.
TEST(KeyDecoderTest, EscapeSequencesBecomeScanCodes) {
  struct {
    const char* sequence;
    int scan;
  } const cases[] = {
      {"[A", scUp},       {"OD", scLeft},     {"[5~", scPgUp},    {"OQ", scF1 + 1},
      {"[21~", scF10},    {"[[E", scF1 + 4},  {"[Z", scShiftTab},
      // modified keys count as the plain ones
      {"[1;5A", scUp},    {"[3;5~", scDel},   {"[1;2P", scF1},    {"O5Q", scF1 + 1},
  };
  for (const auto& c : cases) {
    KeyDecoder decoder;
    for (char b : std::string("\x1b") + c.sequence + "x") decoder.Feed(static_cast<uint8_t>(b), 0);
    EXPECT_EQ(Drain(decoder), Ext(c.scan) + "x") << c.sequence;
  }
}

TEST(KeyDecoderTest, BytesAndTimingDecideWhatAnEscIs) {
  // What the terminal sends at one moment; empty bytes are a Tick (no byte waiting) at that time.
  struct Step {
    int32_t at_ms;
    std::string bytes;
  };
  struct {
    const char* name;
    std::vector<Step> steps;
    std::string keys;
    bool pending_at_end;
  } const cases[] = {
      {"split within the wait", {{0, "\x1b["}, {20, ""}, {40, "A"}}, Ext(scUp), false},
      {"lone Esc waits at 49 ms", {{0, "\x1b"}, {49, ""}}, "", true},
      {"lone Esc across midnight", {{86'399'990, "\x1b"}, {45, ""}}, "\x1b", false},
      {"Esc and [ typed by hand", {{0, "\x1b["}, {60, ""}}, "\x1b[", false},
      {"unfinished sequence dropped after the wait", {{0, "\x1b[1;"}, {50, ""}, {60, "z"}}, "z",
       false},
      {"overlong sequence dropped", {{0, "\x1b[" + std::string(40, '1') + "~q"}}, "q", false},
      {"control byte breaks a sequence", {{0, "\x1b[1\r"}}, "\r", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    KeyDecoder decoder;
    for (const Step& step : c.steps) {
      if (step.bytes.empty()) decoder.Tick(step.at_ms);
      for (char b : step.bytes) decoder.Feed(static_cast<uint8_t>(b), step.at_ms);
    }
    EXPECT_EQ(Drain(decoder), c.keys);
    EXPECT_EQ(decoder.Pending(), c.pending_at_end);
  }
}

}  // namespace
