#include "comm/telnet_filter.h"

#include <gtest/gtest.h>

#include <random>
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
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(in.size());
  for (size_t end : ends) {
    Bytes piece(in.begin() + static_cast<long>(from), in.begin() + static_cast<long>(end));
    Bytes data(piece.size() + 1);
    size_t length = 0;
    std::string replies;
    TelnetParse(filter, piece.data(), piece.size(), data.data(), length, replies);
    out.data.insert(out.data.end(), data.begin(), data.begin() + static_cast<long>(length));
    out.replies.insert(out.replies.end(), replies.begin(), replies.end());
    from = end;
  }
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
      {"WILL BINARY agreed", {255, 251, 0}, {}, {255, 251, 0}},
      {"WONT 24 refused", {255, 252, 24}, {}, {255, 252, 24}},
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

TEST(TelnetParseTest, AnEndlessSubnegotiationYieldsNothingAndEndsAtIacSe) {
  TelnetFilter filter;
  Bytes open = {255, 250, 24};
  Bytes data(4096);
  size_t length = 0;
  std::string replies;
  TelnetParse(filter, open.data(), open.size(), data.data(), length, replies);
  Bytes flood(4096, 'x');
  for (int i = 0; i < 256; ++i) {  // a megabyte of payload
    TelnetParse(filter, flood.data(), flood.size(), data.data(), length, replies);
    ASSERT_EQ(length, 0u);
  }
  Bytes close = {255, 240, 'k'};
  TelnetParse(filter, close.data(), close.size(), data.data(), length, replies);
  EXPECT_EQ(Bytes(data.begin(), data.begin() + static_cast<long>(length)), Bytes{'k'});
  EXPECT_TRUE(replies.empty());
}

// Whatever the writer puts on the wire, in sends of any size, the parser gives back as sent.
TEST(TelnetEscapeTest, SendsCutAnywhereRoundTripThroughTheParser) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    Bytes queued(1 + random() % 300);
    for (uint8_t& b : queued) b = random() % 3 == 0 ? 255 : static_cast<uint8_t>(random());
    Bytes wire;
    size_t done = 0;
    bool half_sent = false;
    while (done < queued.size()) {
      Bytes buffer(2 + random() % 40);  // a small send buffer forces split steps
      size_t taken = 0;
      size_t length = TelnetEscape(queued.data() + done, queued.size() - done, half_sent,
                                   buffer.data(), buffer.size(), taken);
      ASSERT_GT(length, 0u);
      size_t sent = 1 + random() % length;  // a short send
      wire.insert(wire.end(), buffer.begin(), buffer.begin() + static_cast<long>(sent));
      done += TelnetSentBytes(queued.data() + done, taken, half_sent, sent);
    }
    EXPECT_FALSE(half_sent);
    Parsed back = Parse(wire);
    ASSERT_EQ(back.data, queued) << "round " << round;
    EXPECT_TRUE(back.replies.empty());
  }
}

}  // namespace
