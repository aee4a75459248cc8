// Writes our synthetic sample game: a handful of varied players in PLAYER.DAT, the two character
// marriage files, TIME.DAT and an empty stand-in for the game's VARN.EXE.
//   make_sample_game [--players N] <directory>
// --players N fills the game up to N players with newcomers (a big game for timing the commands).
// Every byte is made up here; the reserved stretches get a fixed pseudo-random pattern so that a
// change to them would show.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "editor/player_record.h"

namespace {

constexpr uint8_t kYes = 5;
constexpr uint8_t kFemale = 5;

// A living level-1 player with the reserved bytes filled from seed.
PlayerRecord Newcomer(const std::string& name, const std::string& real_name, uint32_t seed) {
  PlayerRecord r{};
  std::mt19937 random(seed);
  auto* bytes = reinterpret_cast<uint8_t*>(&r);
  for (size_t i = 0; i < kPlayerRecordSize; ++i) bytes[i] = static_cast<uint8_t>(random());
  r.name.Set(name);
  r.real_name.Set(real_name);
  r.weapon_name.Set("Ash Cudgel");
  r.armour_name.Set("Quilted Jerkin");
  r.hit_points = r.hit_max = 20;
  r.weapon_num = r.armour_num = r.level = 1;
  r.seen_master = r.seen_dragon = r.seen_quenna = r.weird_event = 0;
  r.forest_fights = 15;
  r.player_fights = 3;
  r.gold = 200;
  r.bank = 0;
  r.defense = r.strength = 5;
  r.charm = 1;
  r.gems = 1;
  r.experience = 1;
  r.time_on = 1;
  r.dead = r.inn = r.sex = r.seen_bard = r.on_now = r.flirted = 0;
  r.high_spirits = 1;
  r.skill_class = 1;
  r.horse = r.lays = r.kids = r.games_won = r.kills = 0;
  r.skill_dk = r.skill_mystic = r.skill_thief = 0;
  r.uses_dk = r.uses_mystic = r.uses_thief = 0;
  r.married_to = -1;
  return r;
}

// 0 and 1: married to each other.
PlayerRecord SampleBrannock() {
  PlayerRecord brannock = Newcomer("Brannock", "Ned Ashworth", 101);
  brannock.level = 7;
  brannock.hit_points = 212;
  brannock.hit_max = 240;
  brannock.weapon_num = 9;
  brannock.weapon_name.Set("Thornblade");
  brannock.armour_num = 8;
  brannock.armour_name.Set("Scale Hauberk");
  brannock.gold = 48'250;
  brannock.bank = 1'250'000;
  brannock.experience = 1'834'560;
  brannock.strength = 410;
  brannock.defense = 388;
  brannock.charm = 37;
  brannock.gems = 12;
  brannock.seen_master = kYes;
  brannock.married_to = 1;
  brannock.kids = 2;
  brannock.skill_dk = 24;
  brannock.uses_dk = 5;
  brannock.time_on = 17;
  return brannock;
}

PlayerRecord SampleSellith() {
  PlayerRecord sellith = Newcomer("Sellith", "Maya Thornbury", 102);
  sellith.sex = kFemale;
  sellith.level = 6;
  sellith.hit_points = 150;
  sellith.hit_max = 175;
  sellith.weapon_num = 7;
  sellith.weapon_name.Set("Hooked Spear");
  sellith.armour_num = 6;
  sellith.armour_name.Set("Ringed Coat");
  sellith.gold = 9'100;
  sellith.bank = 310'000;
  sellith.experience = 602'113;
  sellith.strength = 260;
  sellith.defense = 245;
  sellith.charm = 52;
  sellith.skill_class = 2;
  sellith.skill_mystic = 31;
  sellith.uses_mystic = 3;
  sellith.seen_quenna = kYes;  // heard the bard, for a female player
  sellith.married_to = 0;
  sellith.kids = 2;
  sellith.time_on = 16;
  return sellith;
}

// 2: married to the barmaid (MARRAGE.DAT), so married_to stays -1.
PlayerRecord SampleHarg() {
  PlayerRecord harg = Newcomer("Old Harg", "Walter Penrose", 103);
  harg.level = 11;
  harg.hit_points = 890;
  harg.hit_max = 1'020;
  harg.weapon_num = 14;
  harg.weapon_name.Set("Rune Maul");
  harg.armour_num = 13;
  harg.armour_name.Set("Gilded Plate");
  harg.gold = 1'200'450;
  harg.bank = 2'000'000'000;
  harg.experience = 99'120'004;
  harg.strength = 3'250;
  harg.defense = 2'980;
  harg.charm = 140;
  harg.gems = 75;
  harg.skill_class = 3;
  harg.skill_thief = 40;
  harg.uses_thief = 8;
  harg.seen_dragon = kYes;
  harg.seen_quenna = kYes;
  harg.horse = 1;
  harg.flirted = kYes;
  harg.games_won = 1;
  harg.time_on = 12;
  return harg;
}

// 3: married to the bard (MARBARD.DAT), asleep at the inn.
PlayerRecord SampleMirelle() {
  PlayerRecord mirelle = Newcomer("Mirelle", "Jo Calloway", 104);
  mirelle.sex = kFemale;
  mirelle.level = 4;
  mirelle.hit_points = 80;
  mirelle.hit_max = 95;
  mirelle.weapon_num = 4;
  mirelle.weapon_name.Set("Bone Needle");
  mirelle.gold = 720;
  mirelle.bank = 14'000;
  mirelle.experience = 22'410;
  mirelle.charm = 61;
  mirelle.seen_bard = kYes;
  mirelle.inn = kYes;
  mirelle.skill_class = 2;
  mirelle.time_on = 17;
  return mirelle;
}

// 4: deleted by the editor (names "X"; the rest of the name bytes left as they were).
PlayerRecord SampleDeleted() {
  PlayerRecord deleted = Newcomer("Fennick Vale", "Pat Oldfield", 105);
  deleted.name.Set("X");
  deleted.real_name.Set("X");
  deleted.dead = kYes;
  return deleted;
}

// 5: values out of every editor range, for the repair and the clamps.
PlayerRecord SampleGrim() {
  PlayerRecord grim = Newcomer("Grimwald", "Sam Brack", 106);
  grim.level = 40;
  grim.hit_points = -35;
  grim.hit_max = 0;
  grim.weapon_num = 99;
  grim.armour_num = -2;
  grim.forest_fights = -1;
  grim.gold = -5'000;
  grim.bank = 2'100'000'000;
  grim.charm = 0;
  grim.gems = -3;
  grim.strength = 32'767;
  grim.experience = -10;
  grim.skill_class = 7;
  grim.sex = 3;
  grim.skill_dk = 120;
  grim.uses_dk = -4;
  grim.kids = -1;
  grim.dead = kYes;
  grim.married_to = 250;  // beyond the end of the file
  return grim;
}

// 6: a newcomer from today.
PlayerRecord SampleTavi() {
  PlayerRecord tavi = Newcomer("Tavi", "Lee Marsh", 107);
  tavi.sex = kFemale;
  tavi.skill_class = 0;
  tavi.time_on = 17;
  return tavi;
}

std::vector<PlayerRecord> SamplePlayers() {
  return {SampleBrannock(), SampleSellith(), SampleHarg(), SampleMirelle(),
          SampleDeleted(),  SampleGrim(),    SampleTavi()};
}

bool WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  size_t wanted = 0;
  if (argc == 4 && std::string(argv[1]) == "--players") {
    wanted = std::strtoul(argv[2], nullptr, 10);
    argv += 2;
    argc -= 2;
  }
  // An option where the directory goes is a mistake, not a folder named "--help".
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(argc == 2 && std::string(argv[1]) == "--help" ? stdout : stderr,
                 "usage: make_sample_game [--players N] <directory>\n");
    return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 1;
  }
  std::filesystem::path dir = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  std::vector<PlayerRecord> sample = SamplePlayers();
  for (size_t n = sample.size(); n < wanted; ++n) {
    const std::string number = std::to_string(n);
    sample.push_back(Newcomer("Newcomer " + number, "Sample Caller " + number,
                              static_cast<uint32_t>(1000 + n)));
  }
  std::string players;
  for (const PlayerRecord& p : sample)
    players.append(reinterpret_cast<const char*>(&p), kPlayerRecordSize);

  bool ok = WriteBytes(dir / "PLAYER.DAT", players) &&
            WriteBytes(dir / "MARRAGE.DAT", "2\r\n") &&  // Quenna and Old Harg
            WriteBytes(dir / "MARBARD.DAT", "3\r\n") &&  // Dask Able and Mirelle
            WriteBytes(dir / "TIME.DAT", "17\r\n") &&
            WriteBytes(dir / "VARN.EXE", "");
  if (!ok) {
    std::fprintf(stderr, "make_sample_game: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
