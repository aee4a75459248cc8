// The caller's character set: the door speaks CP437 throughout; a caller whose terminal takes UTF-8
// gets and types UTF-8, translated here at the edge of the channel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum CallerCharset : uint8_t { ccCp437 = 0, ccUtf8 = 1 };

// Appends the CP437 bytes as the caller's terminal takes them. For UTF-8 each byte of the upper
// half becomes its character; every byte below 0x80 (text, control bytes and so every ANSI
// sequence) goes out as it is.
void CallerEncode(CallerCharset charset, std::string_view cp437, std::string& wire);
// How many of the CP437 bytes went out whole when only wire_bytes of their encoding were sent.
size_t CallerBytesSent(CallerCharset charset, std::string_view cp437, size_t wire_bytes);

// The caller's bytes back to CP437, one received byte at a time. Bytes below 0x80 pass at once, so
// Esc and key sequences are untouched. A UTF-8 character comes out as its CP437 byte once it is
// whole, or not at all when CP437 lacks it; a malformed sequence is dropped and the byte that broke
// it is taken afresh.
class CallerKeyDecoder {
 public:
  explicit CallerKeyDecoder(CallerCharset charset = ccCp437) : charset_(charset) {}
  // The CP437 byte this byte completes, or -1.
  int Feed(uint8_t byte);

 private:
  CallerCharset charset_;
  uint32_t code_point_ = 0;
  int remaining_ = 0;  // continuation bytes still expected
};
