// One player of PLAYER.DAT: a fixed 236-byte record, little-endian, no gaps. The reserved stretches
// belong to the game and ride along unchanged through every read-modify-write.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

// The one writer of a length-prefixed text's characters: text cut to max copied to chars, its
// length returned for the length byte. The bytes after it keep what they held.
inline uint8_t CopyRecordText(char* chars, size_t max, std::string_view text) {
  const size_t n = text.size() < max ? text.size() : max;
  std::memcpy(chars, text.data(), n);
  return static_cast<uint8_t>(n);
}

// A length-prefixed text of at most N characters. Assigning a shorter text changes only the length
// byte and the characters written; the bytes after them keep what they held.
template <size_t N>
struct PascalString {
  uint8_t length;
  char chars[N];

  std::string Get() const { return std::string(chars, length <= N ? length : N); }
  void Set(std::string_view text) { length = CopyRecordText(chars, N, text); }
};

#pragma pack(push, 1)
struct PlayerRecord {
  PascalString<20> name;          // 0
  PascalString<50> real_name;     // 21
  int16_t hit_points;             // 72
  uint8_t reserved_74[4];         // 74
  int16_t hit_max;                // 78
  int16_t weapon_num;             // 80
  PascalString<20> weapon_name;   // 82
  int16_t seen_master;            // 103
  int16_t forest_fights;          // 105
  int16_t player_fights;          // 107
  int32_t gold;                   // 109
  int32_t bank;                   // 113
  int16_t defense;                // 117
  int16_t strength;               // 119
  int16_t charm;                  // 121
  int16_t seen_dragon;            // 123
  int16_t seen_quenna;            // 125
  int16_t level;                  // 127
  uint16_t time_on;               // 129
  PascalString<20> armour_name;   // 131
  int16_t armour_num;             // 152
  uint8_t dead;                   // 154
  uint8_t inn;                    // 155
  int16_t gems;                   // 156
  int32_t experience;             // 158
  uint8_t sex;                    // 162
  uint8_t seen_bard;              // 163
  uint8_t reserved_164[2];        // 164
  int16_t lays;                   // 166
  uint8_t reserved_168[2];        // 168
  uint8_t on_now;                 // 170
  uint8_t reserved_171[8];        // 171
  uint8_t skill_class;            // 179
  int16_t horse;                  // 180
  uint8_t reserved_182[28];       // 182
  int16_t kids;                   // 210
  int16_t games_won;              // 212
  int8_t skill_dk;                // 214
  int8_t skill_mystic;            // 215
  int8_t skill_thief;             // 216
  int8_t uses_dk;                 // 217
  int8_t uses_mystic;             // 218
  int8_t uses_thief;              // 219
  uint8_t reserved_220;           // 220
  int16_t married_to;             // 221
  uint8_t reserved_223[4];        // 223
  int16_t kills;                  // 227
  int16_t weird_event;            // 229
  uint8_t high_spirits;           // 231
  uint8_t flirted;                // 232
  uint8_t reserved_233[3];        // 233
};
#pragma pack(pop)

constexpr size_t kPlayerRecordSize = 236;
static_assert(sizeof(PlayerRecord) == kPlayerRecordSize);

// The record as the file holds it, and back: false, with record as it was, for bytes that are not
// exactly one record.
std::string RecordBytes(const PlayerRecord& record);
bool RecordFromBytes(std::string_view bytes, PlayerRecord& record);
static_assert(std::is_trivially_copyable_v<PlayerRecord>);
static_assert(offsetof(PlayerRecord, real_name) == 21);
static_assert(offsetof(PlayerRecord, hit_points) == 72);
static_assert(offsetof(PlayerRecord, hit_max) == 78);
static_assert(offsetof(PlayerRecord, weapon_num) == 80);
static_assert(offsetof(PlayerRecord, weapon_name) == 82);
static_assert(offsetof(PlayerRecord, seen_master) == 103);
static_assert(offsetof(PlayerRecord, forest_fights) == 105);
static_assert(offsetof(PlayerRecord, player_fights) == 107);
static_assert(offsetof(PlayerRecord, gold) == 109);
static_assert(offsetof(PlayerRecord, bank) == 113);
static_assert(offsetof(PlayerRecord, defense) == 117);
static_assert(offsetof(PlayerRecord, strength) == 119);
static_assert(offsetof(PlayerRecord, charm) == 121);
static_assert(offsetof(PlayerRecord, seen_dragon) == 123);
static_assert(offsetof(PlayerRecord, seen_quenna) == 125);
static_assert(offsetof(PlayerRecord, level) == 127);
static_assert(offsetof(PlayerRecord, time_on) == 129);
static_assert(offsetof(PlayerRecord, armour_name) == 131);
static_assert(offsetof(PlayerRecord, armour_num) == 152);
static_assert(offsetof(PlayerRecord, dead) == 154);
static_assert(offsetof(PlayerRecord, inn) == 155);
static_assert(offsetof(PlayerRecord, gems) == 156);
static_assert(offsetof(PlayerRecord, experience) == 158);
static_assert(offsetof(PlayerRecord, sex) == 162);
static_assert(offsetof(PlayerRecord, seen_bard) == 163);
static_assert(offsetof(PlayerRecord, lays) == 166);
static_assert(offsetof(PlayerRecord, on_now) == 170);
static_assert(offsetof(PlayerRecord, skill_class) == 179);
static_assert(offsetof(PlayerRecord, horse) == 180);
static_assert(offsetof(PlayerRecord, kids) == 210);
static_assert(offsetof(PlayerRecord, games_won) == 212);
static_assert(offsetof(PlayerRecord, skill_dk) == 214);
static_assert(offsetof(PlayerRecord, skill_mystic) == 215);
static_assert(offsetof(PlayerRecord, skill_thief) == 216);
static_assert(offsetof(PlayerRecord, uses_dk) == 217);
static_assert(offsetof(PlayerRecord, uses_mystic) == 218);
static_assert(offsetof(PlayerRecord, uses_thief) == 219);
static_assert(offsetof(PlayerRecord, married_to) == 221);
static_assert(offsetof(PlayerRecord, kills) == 227);
static_assert(offsetof(PlayerRecord, weird_event) == 229);
static_assert(offsetof(PlayerRecord, high_spirits) == 231);
static_assert(offsetof(PlayerRecord, flirted) == 232);

// A numeric field named by place, width and signedness, so the editors' tables can name fields
// without pointers into the packed record.
struct FieldRef {
  uint16_t offset;
  uint8_t size;  // 1, 2 or 4
  bool is_signed;
};

#define PLAYER_FIELD(member)                                               \
  FieldRef {                                                               \
    static_cast<uint16_t>(offsetof(PlayerRecord, member)),                 \
        static_cast<uint8_t>(sizeof(PlayerRecord::member)),                \
        std::is_signed_v<decltype(PlayerRecord::member)>                   \
  }

// The field's value, sign-extended by its own width (a skill byte of 200 reads as -56).
int32_t ReadField(const PlayerRecord& record, FieldRef field);
// Stores value in the field's width (the low bytes, as the game's arithmetic does).
void WriteField(PlayerRecord& record, FieldRef field, int64_t value);

// The record's reserved stretches, which every write must give back as it read them.
struct ReservedStretch {
  size_t at, length;
};
#define PLAYER_RESERVED(f) ReservedStretch{offsetof(PlayerRecord, f), sizeof(PlayerRecord::f)}
inline constexpr ReservedStretch kReservedStretches[] = {
    PLAYER_RESERVED(reserved_74),  PLAYER_RESERVED(reserved_164), PLAYER_RESERVED(reserved_168),
    PLAYER_RESERVED(reserved_171), PLAYER_RESERVED(reserved_182), PLAYER_RESERVED(reserved_220),
    PLAYER_RESERVED(reserved_223), PLAYER_RESERVED(reserved_233)};
#undef PLAYER_RESERVED

// Every named field of the record, in record order: what a save merges, what the journal names and
// what commands show. The reserved stretches are not fields: only the game changes them.
enum RecordFieldType : uint8_t { rfNumber, rfText };
struct RecordField {
  const char* name;
  uint16_t offset;
  uint8_t size;  // a text field's size counts its length byte
  bool is_signed;
  RecordFieldType type;

  FieldRef Ref() const { return FieldRef{offset, size, is_signed}; }
};
extern const RecordField kRecordFields[];
extern const size_t kRecordFieldCount;
// The field of that name, or nullptr.
const RecordField* FindRecordField(std::string_view name);
// A number in decimal, a text as its characters (CP437 bytes, codes and all).
std::string RecordFieldValue(const PlayerRecord& record, const RecordField& field);
// A length-prefixed text at offset holding at most max characters, read and written as the
// editors do: a write changes only the length byte and the characters written (cut to max).
std::string ReadRecordText(const PlayerRecord& record, uint16_t offset, size_t max);
void WriteRecordText(PlayerRecord& record, uint16_t offset, size_t max, std::string_view text);
// Whether the field's bytes differ (a text's bytes beyond its length included).
bool RecordFieldDiffers(const PlayerRecord& a, const PlayerRecord& b, const RecordField& field);
void CopyRecordField(PlayerRecord& to, const PlayerRecord& from, const RecordField& field);
// onto, with every field that mine changed since base copied from mine: the record on disk keeps
// whatever others wrote to the fields this editor left alone.
void MergeChangedFields(const PlayerRecord& base, const PlayerRecord& mine, PlayerRecord& onto);
