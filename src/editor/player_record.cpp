#include "editor/player_record.h"

#include <algorithm>
#include <iterator>

std::string RecordBytes(const PlayerRecord& record) {
  return std::string(reinterpret_cast<const char*>(&record), kPlayerRecordSize);
}

bool RecordFromBytes(std::string_view bytes, PlayerRecord& record) {
  if (bytes.size() != kPlayerRecordSize) return false;
  std::memcpy(&record, bytes.data(), kPlayerRecordSize);
  return true;
}

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

#define NUMBER(member)                                                                        \
  RecordField {                                                                               \
    #member, static_cast<uint16_t>(offsetof(PlayerRecord, member)),                           \
        static_cast<uint8_t>(sizeof(PlayerRecord::member)),                                   \
        std::is_signed_v<decltype(PlayerRecord::member)>, rfNumber                            \
  }
#define TEXT(member)                                                                          \
  RecordField {                                                                               \
    #member, static_cast<uint16_t>(offsetof(PlayerRecord, member)),                           \
        static_cast<uint8_t>(sizeof(PlayerRecord::member)), false, rfText                     \
  }
const RecordField kRecordFields[] = {
    TEXT(name),           TEXT(real_name),      NUMBER(hit_points),   NUMBER(hit_max),
    NUMBER(weapon_num),   TEXT(weapon_name),    NUMBER(seen_master),  NUMBER(forest_fights),
    NUMBER(player_fights), NUMBER(gold),        NUMBER(bank),         NUMBER(defense),
    NUMBER(strength),     NUMBER(charm),        NUMBER(seen_dragon),  NUMBER(seen_quenna),
    NUMBER(level),        NUMBER(time_on),      TEXT(armour_name),    NUMBER(armour_num),
    NUMBER(dead),         NUMBER(inn),          NUMBER(gems),         NUMBER(experience),
    NUMBER(sex),          NUMBER(seen_bard),    NUMBER(lays),         NUMBER(on_now),
    NUMBER(skill_class),  NUMBER(horse),        NUMBER(kids),         NUMBER(games_won),
    NUMBER(skill_dk),     NUMBER(skill_mystic), NUMBER(skill_thief),  NUMBER(uses_dk),
    NUMBER(uses_mystic),  NUMBER(uses_thief),   NUMBER(married_to),   NUMBER(kills),
    NUMBER(weird_event),  NUMBER(high_spirits), NUMBER(flirted),
};
#undef NUMBER
#undef TEXT
const size_t kRecordFieldCount = std::size(kRecordFields);

const RecordField* FindRecordField(std::string_view name) {
  for (const RecordField& field : kRecordFields)
    if (name == field.name) return &field;
  return nullptr;
}

std::string RecordFieldValue(const PlayerRecord& record, const RecordField& field) {
  if (field.type == rfNumber) return std::to_string(ReadField(record, field.Ref()));
  return ReadRecordText(record, field.offset, field.size - 1u);
}

std::string ReadRecordText(const PlayerRecord& record, uint16_t offset, size_t max) {
  const auto* bytes = reinterpret_cast<const char*>(&record) + offset;
  return std::string(bytes + 1, std::min<size_t>(static_cast<uint8_t>(bytes[0]), max));
}

void WriteRecordText(PlayerRecord& record, uint16_t offset, size_t max, std::string_view text) {
  auto* bytes = reinterpret_cast<char*>(&record) + offset;
  bytes[0] = static_cast<char>(CopyRecordText(bytes + 1, max, text));
}

bool RecordFieldDiffers(const PlayerRecord& a, const PlayerRecord& b, const RecordField& field) {
  return std::memcmp(reinterpret_cast<const char*>(&a) + field.offset,
                     reinterpret_cast<const char*>(&b) + field.offset, field.size) != 0;
}

void CopyRecordField(PlayerRecord& to, const PlayerRecord& from, const RecordField& field) {
  std::memcpy(reinterpret_cast<char*>(&to) + field.offset,
              reinterpret_cast<const char*>(&from) + field.offset, field.size);
}

void MergeChangedFields(const PlayerRecord& base, const PlayerRecord& mine, PlayerRecord& onto) {
  for (const RecordField& field : kRecordFields)
    if (RecordFieldDiffers(base, mine, field)) CopyRecordField(onto, mine, field);
}
