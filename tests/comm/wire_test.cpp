// What crosses the caller's wire: telnet commands taken out of the received bytes, and CP437 as
// UTF-8 both ways for a -U caller.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "comm/caller_charset.h"
#include "comm/telnet_filter.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Parsed {
  Bytes data;
  Bytes replies;
};

// The received bytes in two reads, split at cut.
Parsed Parse(const Bytes& in, size_t cut) {
  TelnetFilter filter;
  Parsed out;
  std::string replies;
  for (auto [from, to] : {std::pair{size_t{0}, cut}, std::pair{cut, in.size()}}) {
    Bytes data(to - from + 1);
    size_t length = 0;
    TelnetParse(filter, in.data() + from, to - from, data.data(), length, replies);
    out.data.insert(out.data.end(), data.begin(), data.begin() + static_cast<long>(length));
  }
  out.replies.assign(replies.begin(), replies.end());
  return out;
}

TEST(TelnetParseTest, DataCommandsAndTheFixedReplyAtEverySplitPoint) {
  struct Case {
    const char* name;
    Bytes in, data, replies;
  } const cases[] = {
      {"doubled 255 is data", {255, 255}, {255}, {}},
      {"DO ECHO between data", {65, 255, 253, 1, 66}, {65, 66}, {255, 251, 1}},
      {"DO window size refused", {255, 253, 31}, {}, {255, 252, 31}},
      {"DONT SGA still agreed", {255, 254, 3}, {}, {255, 251, 3}},
      {"two-byte NOP keeps the next key", {255, 241, 'Q'}, {'Q'}, {}},
      {"subnegotiation is no key", {'a', 255, 250, 31, 0, 80, 255, 255, 0, 24, 255, 240, 'b'},
       {'a', 'b'}, {}},
      {"CR NUL arrives as it is", {13, 0}, {13, 0}, {}},
  };
  for (const Case& c : cases) {
    for (size_t cut = 0; cut <= c.in.size(); ++cut) {
      Parsed got = Parse(c.in, cut);
      EXPECT_EQ(got.data, c.data) << c.name << ", split at " << cut;
      EXPECT_EQ(got.replies, c.replies) << c.name << ", split at " << cut;
    }
  }
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
