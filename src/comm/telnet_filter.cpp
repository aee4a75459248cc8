#include "comm/telnet_filter.h"

namespace {

void Reply(std::string& replies, uint8_t option) {
  const bool agree = option == kTelnetBinary || option == kTelnetEcho ||
                     option == kTelnetSuppressGoAhead;
  replies.push_back(static_cast<char>(kTelnetIac));
  replies.push_back(static_cast<char>(agree ? kTelnetWill : kTelnetWont));
  replies.push_back(static_cast<char>(option));
}

// After IAC: a doubled 255 is data; SE..GA (240-249) are complete two-byte commands; SB opens a
// subnegotiation, whose payload is no keys of the caller's; anything else is taken as a command
// with an option byte to follow.
TelnetState AfterIac(uint8_t byte) {
  if (byte == kTelnetSb) return tsSubnegotiation;
  if (byte >= kTelnetSe && byte < kTelnetSb) return tsData;
  return tsOption;
}

}  // namespace

void TelnetParse(TelnetFilter& filter, const uint8_t* in, size_t n, uint8_t* data,
                 size_t& data_length, std::string& replies) {
  size_t out = 0;
  TelnetState state = filter.state;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t byte = in[i];
    switch (state) {
      case tsData:
        if (byte == kTelnetIac)
          state = tsIac;
        else
          data[out++] = byte;
        break;
      case tsIac:
        if (byte == kTelnetIac) {
          data[out++] = byte;
          state = tsData;
        } else {
          state = AfterIac(byte);
        }
        break;
      case tsOption:
        Reply(replies, byte);
        state = tsData;
        break;
      case tsSubnegotiation:
        if (byte == kTelnetIac) state = tsSubnegotiationIac;
        break;
      case tsSubnegotiationIac:
        state = byte == kTelnetSe ? tsData : tsSubnegotiation;
        break;
    }
  }
  filter.state = state;
  data_length = out;
}

size_t TelnetEscape(const uint8_t* source, size_t n, bool half_sent, uint8_t* escaped,
                    size_t capacity, size_t& consumed) {
  size_t length = 0;
  consumed = 0;
  for (; consumed < n; ++consumed) {
    const uint8_t byte = source[consumed];
    const bool whole_pair = byte == kTelnetIac && !(half_sent && consumed == 0);
    if (length + (whole_pair ? 2 : 1) > capacity) break;
    escaped[length++] = byte;
    if (whole_pair) escaped[length++] = byte;
  }
  return length;
}

size_t TelnetSentBytes(const uint8_t* source, size_t n, bool& half_sent, size_t sent) {
  size_t done = 0;
  for (; done < n && sent > 0; ++done) {
    const bool whole_pair = source[done] == kTelnetIac && !(half_sent && done == 0);
    if (whole_pair && sent == 1) {
      half_sent = true;  // one half is on the wire: only the other is still owed
      return done;
    }
    sent -= whole_pair ? 2 : 1;
    if (done == 0) half_sent = false;
  }
  if (done > 0) half_sent = false;
  return done;
}
