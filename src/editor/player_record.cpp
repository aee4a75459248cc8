#include "editor/player_record.h"

int32_t ReadField(const PlayerRecord& record, FieldRef field) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&record) + field.offset;
  switch (field.size) {
    case 1: {
      uint8_t v = bytes[0];
      return field.is_signed ? static_cast<int8_t>(v) : v;
    }
    case 2: {
      uint16_t v = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
      return field.is_signed ? static_cast<int16_t>(v) : v;
    }
    default: {
      uint32_t v = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                   (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
      return static_cast<int32_t>(v);
    }
  }
}

void WriteField(PlayerRecord& record, FieldRef field, int64_t value) {
  auto* bytes = reinterpret_cast<uint8_t*>(&record) + field.offset;
  auto v = static_cast<uint64_t>(value);
  for (uint8_t i = 0; i < field.size; ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
}
