#include "fakes/game_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "editor/startup.h"
#include "fakes/door_harness.h"

namespace fs = std::filesystem;

namespace {
const std::pair<size_t, size_t> kReserved[] = {{74, 4},  {164, 2}, {168, 2}, {171, 8},
                                               {182, 28}, {220, 1}, {223, 4}, {233, 3}};
}

TempGameDir::TempGameDir() {
  static std::mt19937_64 names{std::random_device{}()};
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path candidate = base / ("zorvan-test-" + std::to_string(names()));
    if (fs::create_directory(candidate)) {
      dir_ = candidate.string();
      break;
    }
  }
  dir_ += static_cast<char>(fs::path::preferred_separator);
}

TempGameDir::~TempGameDir() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void TempGameDir::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream out(PathOf(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempGameDir::ReadFile(const std::string& name) const {
  if (!fs::is_regular_file(PathOf(name))) return {};  // reading a directory would throw
  std::ifstream in(PathOf(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempGameDir::Exists(const std::string& name) const { return fs::exists(PathOf(name)); }

std::vector<std::string> TempGameDir::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void TempGameDir::MakeDir(const std::string& name) const { fs::create_directory(PathOf(name)); }

void TempGameDir::WritePlayers(const std::vector<PlayerRecord>& players) const {
  std::string bytes;
  for (const auto& p : players) bytes += RecordBytes(p);
  WriteFile("PLAYER.DAT", bytes);
}

std::vector<PlayerRecord> TempGameDir::ReadPlayers() const {
  std::string bytes = ReadFile("PLAYER.DAT");
  std::vector<PlayerRecord> players(bytes.size() / kPlayerRecordSize);
  for (size_t i = 0; i < players.size(); ++i)
    std::memcpy(&players[i], bytes.data() + i * kPlayerRecordSize, kPlayerRecordSize);
  return players;
}

PlayerRecord TempGameDir::ReadPlayer(int n) const { return ReadPlayers().at(static_cast<size_t>(n)); }

void SetFields(PlayerRecord& record, FieldValues values) {
  for (const auto& [field, value] : values) WriteField(record, field, value);
}

PlayerRecord MakePlayer(const std::string& name, const std::string& real_name, uint32_t seed) {
  PlayerRecord r{};
  std::mt19937 random(seed);
  auto* bytes = reinterpret_cast<uint8_t*>(&r);
  for (size_t i = 0; i < kPlayerRecordSize; ++i) bytes[i] = static_cast<uint8_t>(random());
  r.name.Set(name);
  r.real_name.Set(real_name);
  r.weapon_name.Set("Short Sword");
  r.armour_name.Set("Leather Vest");
  SetFields(r, {{PLAYER_FIELD(hit_points), 50},   {PLAYER_FIELD(hit_max), 60},
                {PLAYER_FIELD(weapon_num), 3},    {PLAYER_FIELD(forest_fights), 20},
                {PLAYER_FIELD(player_fights), 3}, {PLAYER_FIELD(gold), 1500},
                {PLAYER_FIELD(bank), 20000},      {PLAYER_FIELD(defense), 15},
                {PLAYER_FIELD(strength), 30},     {PLAYER_FIELD(charm), 12},
                {PLAYER_FIELD(level), 3},         {PLAYER_FIELD(time_on), 17},
                {PLAYER_FIELD(armour_num), 2},    {PLAYER_FIELD(gems), 4},
                {PLAYER_FIELD(experience), 2500}, {PLAYER_FIELD(lays), 1},
                {PLAYER_FIELD(skill_class), 1},   {PLAYER_FIELD(skill_dk), 8},
                {PLAYER_FIELD(uses_dk), 2},       {PLAYER_FIELD(married_to), -1},
                {PLAYER_FIELD(kills), 1},         {PLAYER_FIELD(high_spirits), 1}});
  const FieldRef zeros[] = {
      PLAYER_FIELD(seen_master),  PLAYER_FIELD(seen_dragon), PLAYER_FIELD(seen_quenna),
      PLAYER_FIELD(dead),         PLAYER_FIELD(inn),         PLAYER_FIELD(sex),
      PLAYER_FIELD(seen_bard),    PLAYER_FIELD(on_now),      PLAYER_FIELD(horse),
      PLAYER_FIELD(kids),         PLAYER_FIELD(games_won),   PLAYER_FIELD(skill_mystic),
      PLAYER_FIELD(skill_thief),  PLAYER_FIELD(uses_mystic), PLAYER_FIELD(uses_thief),
      PLAYER_FIELD(weird_event),  PLAYER_FIELD(flirted)};
  for (FieldRef zero : zeros) WriteField(r, zero, 0);
  return r;
}

std::string ReservedBytes(const PlayerRecord& record) {
  std::string all = RecordBytes(record), reserved;
  for (auto [offset, size] : kReserved) reserved += all.substr(offset, size);
  return reserved;
}

std::string RecordBytes(const PlayerRecord& record) {
  return std::string(reinterpret_cast<const char*>(&record), kPlayerRecordSize);
}

void StartEditorOn(const TempGameDir& game, uint8_t player) {
  ResetDoorLibrary();
  EditorStateReset();
  BacktickTranslation = true;
  game_dir = game.Dir();
  player_path = game_dir + "PLAYER.DAT";
  current_player = player;
  LoadCurrentPlayer();
}

ScopedWorkingDir::ScopedWorkingDir(const std::string& dir) : previous_(fs::current_path().string()) {
  fs::current_path(dir);
}

ScopedWorkingDir::~ScopedWorkingDir() {
  std::error_code ec;
  fs::current_path(previous_, ec);
}

int RunEditorMain(const std::vector<std::string>& args) {
  std::vector<std::string> storage{"zorvan32"};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  EditorStateReset();
  try {
    EditorMain(static_cast<int>(storage.size()), argv.data());
  } catch (const HaltSignal& halt) {
    return halt.code;
  }
  return -1;  // EditorMain always ends through Halt
}
