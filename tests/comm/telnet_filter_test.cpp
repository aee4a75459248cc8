#include "comm/telnet_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Parsed {
  Bytes data;
  Bytes replies;
};

// The received bytes split into the given pieces, as separate reads.
Parsed Parse(const Bytes& in, const std::vector<size_t>& cuts = {}) {
  TelnetFilter filter;
  Parsed out;
  std::string replies;
  std::vector<size_t> ends = cuts;
  ends.push_back(in.size());
  for (size_t from = 0, i = 0; i < ends.size(); from = ends[i++]) {
    Bytes data(ends[i] - from + 1);
    size_t length = 0;
    TelnetParse(filter, in.data() + from, ends[i] - from, data.data(), length, replies);
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
      Parsed got = Parse(c.in, {cut});
      EXPECT_EQ(got.data, c.data) << c.name << ", split at " << cut;
      EXPECT_EQ(got.replies, c.replies) << c.name << ", split at " << cut;
    }
  }
}

// However long a subnegotiation runs, none of it is a key; IAC SE ends it.
TEST(TelnetParseTest, AnEndlessSubnegotiationYieldsNothingAndEndsAtIacSe) {
  Bytes in(1'000'006, 'x');
  in[0] = 255, in[1] = 250, in[2] = 24;
  in[in.size() - 3] = 255, in[in.size() - 2] = 240, in.back() = 'k';
  const Parsed got = Parse(in, {3, 500'000});
  EXPECT_EQ(got.data, Bytes{'k'});
  EXPECT_TRUE(got.replies.empty());
}

}  // namespace
