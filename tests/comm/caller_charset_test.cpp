#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/caller_charset.h"

namespace {

std::string Encoded(CallerCharset charset, std::string_view cp437) {
  std::string wire;
  CallerEncode(charset, cp437, wire);
  return wire;
}

std::string Decoded(CallerCharset charset, std::string_view wire) {
  CallerKeyDecoder decoder(charset);
  std::string keys;
  for (char c : wire) {
    const int key = decoder.Feed(static_cast<uint8_t>(c));
    if (key >= 0) keys.push_back(static_cast<char>(key));
  }
  return keys;
}

TEST(CallerCharsetTest, OutputKeepsAnsiAndControlsAndEncodesTheUpperHalf) {
  // Frame pieces inside colour sequences, the status square, the no-break space (never a telnet
  // IAC on the wire) and the control bytes a door sends.
  const std::string cp437 = "\x1b[1;33m\xC9\xCD\xBB\x1b[0m \xFE\xFF\r\n\b\a\x7F";
  EXPECT_EQ(Encoded(ccUtf8, cp437),
            "\x1b[1;33m\u2554\u2550\u2557\x1b[0m \u25A0\u00A0\r\n\b\a\x7F");
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  EXPECT_EQ(Encoded(ccCp437, all), all);  // without -U the wire is the bytes as they are
}

TEST(CallerCharsetTest, TypedBytesBecomeKeys) {
  struct Case {
    CallerCharset charset;
    std::string wire, keys;
  };
  const std::vector<Case> cases = {
      {ccUtf8, "\xE2\x96\x91", "\xB0"},             // a three-byte character
      {ccUtf8, "\xF0\x9F\x98\x80x", "x"},           // four bytes, not in CP437
      {ccUtf8, "\xA9\xFF\xC0\x80y", "y"},           // bytes that begin nothing
      {ccUtf8, "\xC3\x1b[B", "\x1b[B"},             // a cut character leaves the key whole
      {ccUtf8, "\xE2\x96\xC3\xA9", "\x82"},         // cut by the next character
      {ccUtf8, "\xC1\x81", ""},                     // an overlong A is no key
      {ccCp437, "\xC3\xA9\xFF", "\xC3\xA9\xFF"},    // without -U every byte is a key
  };
  for (const Case& c : cases) EXPECT_EQ(Decoded(c.charset, c.wire), c.keys) << c.wire;
}

TEST(CallerCharsetTest, BytesSentCountsWholeCharactersOnly) {
  struct Case {
    CallerCharset charset;
    std::string cp437;
    size_t wire_bytes, sent;
  };
  const std::vector<Case> cases = {
      {ccUtf8, "a\xC9z", 3, 1}, {ccUtf8, "a\xC9z", 4, 2},   {ccUtf8, "a\xC9z", 5, 3},
      {ccUtf8, "\x82\x82", 3, 1}, {ccCp437, "a\xC9z", 2, 2}, {ccCp437, "a\xC9z", 9, 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CallerBytesSent(c.charset, c.cp437, c.wire_bytes), c.sent)
        << c.cp437 << " " << c.wire_bytes;
}

}  // namespace
