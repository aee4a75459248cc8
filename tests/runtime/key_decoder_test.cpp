#include "runtime/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/keyboard.h"

namespace {

// What the terminal sends at one moment; an empty `bytes` is a Tick (no byte waiting) at that time.
struct Step {
  int32_t at_ms;
  std::string bytes;
};

struct DecoderCase {
  const char* name;
  std::vector<Step> steps;
  std::string keys;  // decoded bytes, in order
  bool pending_at_end;
};

std::ostream& operator<<(std::ostream& os, const DecoderCase& c) { return os << c.name; }

std::string Drain(KeyDecoder& decoder) {
  std::string keys;
  while (decoder.HasOutput()) keys.push_back(static_cast<char>(decoder.TakeByte()));
  return keys;
}

std::string Ext(ScanCode scan) { return std::string(1, '\0') + static_cast<char>(scan); }
std::string Fn(int n) { return std::string(1, '\0') + static_cast<char>(scF1 + n - 1); }

class KeyDecoderCases : public ::testing::TestWithParam<DecoderCase> {};

TEST_P(KeyDecoderCases, DecodesToKeyBytes) {
  const DecoderCase& c = GetParam();
  KeyDecoder decoder;
  for (const Step& step : c.steps) {
    if (step.bytes.empty()) decoder.Tick(step.at_ms);
    for (char b : step.bytes) decoder.Feed(static_cast<uint8_t>(b), step.at_ms);
  }
  EXPECT_EQ(Drain(decoder), c.keys);
  EXPECT_EQ(decoder.Pending(), c.pending_at_end);
}

const std::string ESC = "\x1b";

const DecoderCase kDecoderCases[] = {
    {"PlainBytesPassThrough", {{0, "aZ1 \r"}}, "aZ1 \r", false},
    {"DelIsBackspace", {{0, "x\x7f"}}, "x\b", false},
    {"BackspaceStaysBackspace", {{0, "\b"}}, "\b", false},
    {"NulIsDropped", {{0, std::string("a\0H", 3)}}, "aH", false},
    {"CsiArrows", {{0, ESC + "[A" + ESC + "[B" + ESC + "[C" + ESC + "[D"}},
     Ext(scUp) + Ext(scDown) + Ext(scRight) + Ext(scLeft), false},
    {"Ss3Arrows", {{0, ESC + "OA" + ESC + "OB" + ESC + "OC" + ESC + "OD"}},
     Ext(scUp) + Ext(scDown) + Ext(scRight) + Ext(scLeft), false},
    {"HomeEndLetterForms", {{0, ESC + "[H" + ESC + "[F" + ESC + "OH" + ESC + "OF"}},
     Ext(scHome) + Ext(scEnd) + Ext(scHome) + Ext(scEnd), false},
    {"TildeKeys", {{0, ESC + "[1~" + ESC + "[2~" + ESC + "[3~" + ESC + "[4~" + ESC + "[5~" + ESC + "[6~"}},
     Ext(scHome) + Ext(scIns) + Ext(scDel) + Ext(scEnd) + Ext(scPgUp) + Ext(scPgDn), false},
    {"RxvtHomeEnd", {{0, ESC + "[7~" + ESC + "[8~"}}, Ext(scHome) + Ext(scEnd), false},
    {"XtermF1ToF4", {{0, ESC + "OP" + ESC + "OQ" + ESC + "OR" + ESC + "OS"}},
     Fn(1) + Fn(2) + Fn(3) + Fn(4), false},
    {"Vt220F1ToF10",
     {{0, ESC + "[11~" + ESC + "[12~" + ESC + "[13~" + ESC + "[14~" + ESC + "[15~" + ESC + "[17~" +
              ESC + "[18~" + ESC + "[19~" + ESC + "[20~" + ESC + "[21~"}},
     Fn(1) + Fn(2) + Fn(3) + Fn(4) + Fn(5) + Fn(6) + Fn(7) + Fn(8) + Fn(9) + Fn(10), false},
    {"LinuxConsoleF1ToF5", {{0, ESC + "[[A" + ESC + "[[B" + ESC + "[[C" + ESC + "[[D" + ESC + "[[E"}},
     Fn(1) + Fn(2) + Fn(3) + Fn(4) + Fn(5), false},
    {"ModifiedKeysCountAsPlain", {{0, ESC + "[1;5A" + ESC + "[3;2~" + ESC + "[1;2P" + ESC + "[;5D"}},
     Ext(scUp) + Ext(scDel) + Fn(1) + Ext(scLeft), false},
    {"KeyBetweenText", {{0, "a" + ESC + "[Bb"}}, "a" + Ext(scDown) + "b", false},
    {"SplitSequenceWithinTheWait", {{0, ESC + "["}, {20, ""}, {40, "A"}}, Ext(scUp), false},
    {"SplitAfterEscWithinTheWait", {{0, ESC}, {30, ""}, {45, "[5~"}}, Ext(scPgUp), false},
    {"LoneEscWaitsAt49", {{0, ESC}, {49, ""}}, "", true},
    {"LoneEscIsEscAt51", {{0, ESC}, {51, ""}}, "\x1b", false},
    {"LoneEscAcrossMidnight", {{86'399'990, ESC}, {20, ""}}, "", true},
    {"LoneEscAcrossMidnightLater", {{86'399'990, ESC}, {45, ""}}, "\x1b", false},
    {"EscThenLetter", {{0, ESC + "x"}}, "\x1bx", false},
    {"EscThenDel", {{0, ESC + "\x7f"}}, "\x1b\b", false},
    {"TwoEscsThenArrow", {{0, ESC + ESC + "[A"}}, "\x1b" + Ext(scUp), false},
    {"EscAfterLetterTimesOutAlone", {{0, "q" + ESC}, {60, ""}}, "q\x1b", false},
    {"UnknownCsiGivenUpAsBytes", {{0, ESC + "[99~"}}, ESC + "[99~", false},
    {"UnknownFinalGivenUp", {{0, ESC + "[Z"}}, ESC + "[Z", false},
    {"UnfinishedSequenceGivenUpAfterTheWait", {{0, ESC + "[1;"}, {50, ""}}, ESC + "[1;", false},
    {"OverlongCsiGivenUp", {{0, ESC + "[" + std::string(20, '1')}}, ESC + "[" + std::string(20, '1'),
     false},
};

INSTANTIATE_TEST_SUITE_P(Cases, KeyDecoderCases, ::testing::ValuesIn(kDecoderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeyDecoderTest, EscTimesOutOnlyOnceAndTheDecoderGoesOn) {
  KeyDecoder decoder;
  decoder.Feed(27, 1000);
  decoder.Tick(1060);
  decoder.Tick(1200);
  EXPECT_EQ(Drain(decoder), "\x1b");
  decoder.Feed(27, 1300);
  decoder.Feed('[', 1300);
  decoder.Feed('D', 1310);
  EXPECT_EQ(Drain(decoder), Ext(scLeft));
  EXPECT_FALSE(decoder.Pending());
}

TEST(KeyDecoderTest, TakeByteWithNothingWaitingIsZero) {
  KeyDecoder decoder;
  EXPECT_FALSE(decoder.HasOutput());
  EXPECT_EQ(decoder.TakeByte(), 0);
}

}  // namespace
