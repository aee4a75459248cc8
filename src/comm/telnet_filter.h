// The telnet protocol as the door speaks it, without any I/O: received bytes in, the caller's data
// and the option replies out; outgoing data escaped for the wire.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint8_t kTelnetIac = 255;
constexpr uint8_t kTelnetWill = 251;
constexpr uint8_t kTelnetWont = 252;
constexpr uint8_t kTelnetDo = 253;
constexpr uint8_t kTelnetDont = 254;
constexpr uint8_t kTelnetSb = 250;
constexpr uint8_t kTelnetSe = 240;
constexpr uint8_t kTelnetBinary = 0;
constexpr uint8_t kTelnetEcho = 1;
constexpr uint8_t kTelnetSuppressGoAhead = 3;

enum TelnetState : uint8_t {
  tsData,          // plain data
  tsIac,           // after IAC
  tsOption,        // after IAC and a negotiation command: the next byte is its option
  tsSubnegotiation,     // inside IAC SB ... : discarded up to IAC SE
  tsSubnegotiationIac,  // IAC inside a subnegotiation
};

// Kept between receives, so a command split across two reads is still one command.
struct TelnetFilter {
  TelnetState state = tsData;
};

// Filters n received bytes. The caller's data goes to data (at most n bytes; data may be in itself)
// and its length to data_length; the reply to each option negotiation is appended to replies. The
// reply depends only on the option: WILL for BINARY, ECHO and SUPPRESS-GO-AHEAD, WONT for all else.
void TelnetParse(TelnetFilter& filter, const uint8_t* in, size_t n, uint8_t* data,
                 size_t& data_length, std::string& replies);

// Outgoing bytes with every 255 doubled, as much as fits into capacity without splitting a pair.
// half_sent: the first byte is a 255 whose first half already went out, so only its second half is
// due. Returns the escaped length; consumed is how many source bytes it covers.
size_t TelnetEscape(const uint8_t* source, size_t n, bool half_sent, uint8_t* escaped,
                    size_t capacity, size_t& consumed);

// After sending sent bytes of what TelnetEscape made from source: how many source bytes went out
// whole. half_sent is updated: true when the send stopped between the two halves of a 255.
size_t TelnetSentBytes(const uint8_t* source, size_t n, bool& half_sent, size_t sent);
