// A game node for the concurrent-writer test: it rewrites PLAYER.DAT records the way the game's
// nodes do (exclusive open, one record read and written back), stamping each record so that a torn
// or interleaved write shows. Every rewrite sets real_name to "node stamp N" and every reserved
// byte to a pattern of N; the editor keeps both as it read them, so a whole record always has a
// stamp and a pattern that agree.
//   game_node stamp PLAYER.DAT            every record stamped with 0
//   game_node run PLAYER.DAT SECONDS SEED rewrites random records for that long
//   game_node hold PLAYER.DAT SECONDS     holds the exclusive open, then lets go
//   game_node check PLAYER.DAT            every record whole?
// Prints what it did; ends 1 when it met a record that is not whole.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "editor/player_record.h"
#include "runtime/files.h"

namespace {

constexpr const char* kStampPrefix = "node stamp ";

void Stamp(PlayerRecord& record, unsigned n) {
  record.real_name.Set(kStampPrefix + std::to_string(n));
  auto* bytes = reinterpret_cast<uint8_t*>(&record);
  for (const ReservedStretch& s : kReservedStretches)
    for (size_t i = 0; i < s.length; ++i) bytes[s.at + i] = static_cast<uint8_t>(n * 31 + s.at + i);
}

// Whole when the stamp reads back and the reserved pattern is the stamp's.
bool Whole(const PlayerRecord& record) {
  const std::string stamp = record.real_name.Get();
  if (stamp.rfind(kStampPrefix, 0) != 0) return false;
  PlayerRecord expected = record;
  Stamp(expected, static_cast<unsigned>(std::strtoul(stamp.c_str() + 11, nullptr, 10)));
  return std::memcmp(&expected, &record, sizeof record) == 0;
}

bool OpenExclusive(OsFile& file, const std::string& path) {
  SetFileOpenMode(fmExclusive);
  while (!FileOpen(file, path, faReadWrite)) {
    if (!FileErrorIsSharingConflict(FileLastError())) {
      std::fprintf(stderr, "game_node: %s: %s\n", path.c_str(),
                   OsErrorText(FileLastError()).c_str());
      std::exit(2);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

int64_t Records(OsFile& file) {
  return FileLength(file) / static_cast<int64_t>(sizeof(PlayerRecord));
}

int StampAll(const std::string& path) {
  OsFile file;
  OpenExclusive(file, path);
  for (int64_t n = 0; n < Records(file); ++n) {
    PlayerRecord record;
    FileReadAt(file, n * sizeof record, &record, sizeof record);
    Stamp(record, 0);
    FileWriteAt(file, n * sizeof record, &record, sizeof record);
  }
  return 0;
}

int Run(const std::string& path, double seconds, unsigned seed) {
  std::mt19937 rng(seed);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  unsigned rewrites = 0, torn = 0;
  while (std::chrono::steady_clock::now() < end) {
    OsFile file;
    OpenExclusive(file, path);
    const int64_t n = static_cast<int64_t>(rng() % static_cast<unsigned>(Records(file)));
    PlayerRecord record;
    if (!FileReadAt(file, n * sizeof record, &record, sizeof record)) return 2;
    if (!Whole(record)) {
      ++torn;
      std::fprintf(stderr, "game_node: record %s is not whole\n", std::to_string(n).c_str());
    }
    Stamp(record, seed * 100000 + ++rewrites);
    if (!FileWriteAt(file, n * sizeof record, &record, sizeof record)) return 2;
    // A node keeps the file a moment, then lets the others in for a moment.
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
    FileClose(file);
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % 2000));
  }
  std::printf("game_node: %u rewrites, %u records not whole\n", rewrites, torn);
  return torn == 0 ? 0 : 1;
}

int Hold(const std::string& path, double seconds) {
  OsFile file;
  OpenExclusive(file, path);
  std::printf("game_node: holding\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return 0;
}

int Check(const std::string& path) {
  OsFile file;
  OpenExclusive(file, path);
  int bad = 0;
  for (int64_t n = 0; n < Records(file); ++n) {
    PlayerRecord record;
    if (!FileReadAt(file, n * sizeof record, &record, sizeof record) || !Whole(record)) {
      std::printf("game_node: record %s is not whole\n", std::to_string(n).c_str());
      bad = 1;
    }
  }
  return bad;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "stamp") return StampAll(argv[2]);
  if (mode == "check") return Check(argv[2]);
  if (mode == "hold" && argc > 3) return Hold(argv[2], std::atof(argv[3]));
  if (mode == "run" && argc > 4)
    return Run(argv[2], std::atof(argv[3]), static_cast<unsigned>(std::atoi(argv[4])));
  std::fprintf(stderr,
               "usage: game_node stamp|check FILE | run FILE SECONDS SEED | hold FILE SECONDS\n");
  return 2;
}
