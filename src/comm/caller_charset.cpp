#include "comm/caller_charset.h"

#include "runtime/cp437.h"

namespace {

size_t EncodedLength(CallerCharset charset, uint8_t byte) {
  if (charset == ccCp437 || byte < 0x80) return 1;
  return Cp437ToUnicode(byte) < 0x800 ? 2 : 3;
}

}  // namespace

void CallerEncode(CallerCharset charset, std::string_view cp437, std::string& wire) {
  if (charset == ccCp437) {
    wire.append(cp437);
    return;
  }
  for (char c : cp437) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80)
      wire.push_back(c);
    else
      AppendUtf8(wire, Cp437ToUnicode(byte));
  }
}

size_t CallerBytesSent(CallerCharset charset, std::string_view cp437, size_t wire_bytes) {
  size_t sent = 0, used = 0;
  for (char c : cp437) {
    used += EncodedLength(charset, static_cast<uint8_t>(c));
    if (used > wire_bytes) break;
    ++sent;
  }
  return sent;
}

int CallerKeyDecoder::Feed(uint8_t byte) {
  if (charset_ == ccCp437) return byte;
  if (remaining_ > 0) {
    if ((byte & 0xC0) == 0x80) {
      code_point_ = (code_point_ << 6) | (byte & 0x3F);
      if (--remaining_ > 0) return -1;
      return Cp437FromUnicode(code_point_);
    }
    remaining_ = 0;  // cut short: what came so far is dropped, this byte starts afresh
  }
  if (byte < 0x80) return byte;
  if (byte >= 0xC2 && byte <= 0xDF) {
    code_point_ = byte & 0x1F;
    remaining_ = 1;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    code_point_ = byte & 0x0F;
    remaining_ = 2;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    code_point_ = byte & 0x07;
    remaining_ = 3;
  }
  return -1;  // a lead byte, or a byte that cannot start a character
}
