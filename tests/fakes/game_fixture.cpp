#include "fakes/game_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "editor/startup.h"
#include "fakes/door_harness.h"
#include "fakes/screen_text.h"

namespace fs = std::filesystem;

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
  WriteFile("PLAYER.DAT", PlayersBytes(players));
}

PlayerRecord TempGameDir::ReadPlayer(int n) const {
  PlayerRecord record;
  std::string bytes = ReadFile("PLAYER.DAT").substr(static_cast<size_t>(n) * kPlayerRecordSize);
  if (!RecordFromBytes(bytes.substr(0, kPlayerRecordSize), record))
    throw std::out_of_range("no player " + std::to_string(n));
  return record;
}

PlayerRecord MakePlayer(const std::string& name, const std::string& real_name,
                        uint32_t seed) {
  PlayerRecord r{};
  std::mt19937 random(seed);
  auto* bytes = reinterpret_cast<uint8_t*>(&r);
  for (size_t i = 0; i < kPlayerRecordSize; ++i) bytes[i] = static_cast<uint8_t>(random());
  r.name.Set(name);
  r.real_name.Set(real_name);
  r.weapon_name.Set("Short Sword");
  r.armour_name.Set("Leather Vest");
  r.hit_points = 50, r.hit_max = 60, r.weapon_num = 3, r.forest_fights = 20, r.player_fights = 3;
  r.gold = 1500, r.bank = 20000, r.defense = 15, r.strength = 30, r.charm = 12, r.level = 3;
  r.time_on = 17, r.armour_num = 2, r.gems = 4, r.experience = 2500, r.lays = 1, r.kills = 1;
  r.skill_class = 1, r.skill_dk = 8, r.uses_dk = 2, r.married_to = -1, r.high_spirits = 1;
  r.seen_master = r.seen_dragon = r.seen_quenna = r.horse = r.kids = r.games_won = 0;
  r.dead = r.inn = r.sex = r.seen_bard = r.on_now = r.flirted = 0;
  r.skill_mystic = r.skill_thief = r.uses_mystic = r.uses_thief = r.weird_event = 0;
  return r;
}

std::string PlayersBytes(const std::vector<PlayerRecord>& players) {
  std::string bytes;
  for (const auto& p : players) bytes += RecordBytes(p);
  return bytes;
}

OsFile HoldExclusively(const std::string& path, bool hold) {
  OsFile node;
  OpenModeScope exclusive(fmExclusive);
  if (hold && !FileOpen(node, path, faReadWrite)) ADD_FAILURE() << "cannot hold " << path;
  return node;
}

void StartEditorOn(const TempGameDir& game, const std::vector<PlayerRecord>& players,
                   uint8_t player) {
  game.WritePlayers(players);
  ResetEverything();
  BacktickTranslation = true;
  editor_state.game_dir = game.Dir();
  editor_state.current_player = player;
  LoadCurrentPlayer();
}

int RunEditorMain(const std::vector<std::string>& args) {
  std::vector<std::string> storage{"zorvan32"};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  EditorStateReset();
  // EditorMain always ends through Halt
  return HaltCodeOf([&] { EditorMain(static_cast<int>(storage.size()), argv.data()); });
}

std::string MarriedToShown() {
  std::string row = ScreenRow(FindScreenRow("(Z) Married To"));
  size_t from = row.find(':') + 1;
  std::string text = row.substr(from, row.find("(@)") - from);
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

testing::AssertionResult ShownInOrder(const std::string& text,
                                      const std::vector<std::string>& phrases) {
  size_t at = 0;
  for (const std::string& phrase : phrases) {
    at = text.find(phrase, at);
    if (at == std::string::npos) return testing::AssertionFailure() << "not shown: " << phrase;
  }
  return testing::AssertionSuccess();
}
