// A game node and the other writers of a soak run besides the editors, each saying what it wrote so
// that a checker can prove afterwards that nothing was lost, stale or torn:
//   game_node init GAME SEED                 every record's reserved bytes in the pattern of
//                                               stamp 0; MAILn.DAT and LOGNOW.TXT with some text
//   game_node node GAME N SECONDS SEED       game node N: rewrites fields of random records
//                                               (always time_on) under the exclusive open and
//                                               journals each rewrite in ZORVAN32.LOG, as node
//                                               "node N", while it holds PLAYER.DAT
//   game_node append GAME N SECONDS SEED LOG [dos]
//                                               appends unique mail and news entries under the
//                                               writers' lock, one LOG line per entry appended;
//                                               dos: its own old-style appends, some ending in ^Z
//   game_node watch GAME SECONDS LOG         opens MARRAGE.DAT and MARBARD.DAT as a node does,
//                                               again and again; LOG gets each value that differs
//                                               from the last one read, and every empty read
//   game_node hold FILE SECONDS             holds FILE's exclusive open that long ("holding")
//   game_node dump GAME                      every record's fields as the journal writes them,
//                                               and its stamp ("torn" when the pattern is broken)
// GAME ends in the path separator. Each prints a summary line; a node ends 1 when it met a torn record or could
// not journal, the watcher when it saw an empty file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "comm/channel.h"
#include "door/session.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/notice_file.h"
#include "editor/player_record.h"
#include "runtime/files.h"

namespace {

using Clock = std::chrono::steady_clock;

// The stamp lives in the first four bytes of the long reserved stretch; every other reserved byte
// is a hash of stamp, record number and place, so a record made of two writes, or written to the
// wrong place, no longer agrees with its stamp.
constexpr size_t kStampAt = offsetof(PlayerRecord, reserved_182);
constexpr FieldRef kStamp{kStampAt, 4, false};

uint8_t PatternByte(uint32_t stamp, int64_t n, size_t at) {
  const int64_t place = n * 40503 + static_cast<int64_t>(at) * 97;
  uint32_t x = stamp * 2654435761u ^ static_cast<uint32_t>(place);
  x ^= x >> 15;
  x *= 2246822519u;
  x ^= x >> 13;
  return static_cast<uint8_t>(x);
}

uint32_t StampOf(const PlayerRecord& record) {
  return static_cast<uint32_t>(ReadField(record, kStamp));
}

void Stamp(PlayerRecord& record, int64_t n, uint32_t stamp) {
  std::string bytes = RecordBytes(record);
  for (const ReservedStretch& s : kReservedStretches)
    for (size_t i = 0; i < s.length; ++i)
      bytes[s.at + i] = static_cast<char>(PatternByte(stamp, n, s.at + i));
  RecordFromBytes(bytes, record);
  WriteField(record, kStamp, stamp);
}

bool Whole(const PlayerRecord& record, int64_t n) {
  PlayerRecord expected = record;
  Stamp(expected, n, StampOf(record));
  return RecordBytes(expected) == RecordBytes(record);
}

void Pause(std::mt19937& rng, unsigned max_us) {
  std::this_thread::sleep_for(std::chrono::microseconds(rng() % (max_us + 1)));
}

// The open a node makes, waiting while someone else holds the file.
void OpenHeld(OsFile& file, const std::string& path, FileAccess access) {
  OpenModeScope exclusive(fmExclusive);
  while (!FileOpen(file, path, access)) {
    if (!FileErrorIsSharingConflict(FileLastError())) {
      std::fprintf(stderr, "game_node: %s: %s\n", path.c_str(),
                   OsErrorText(FileLastError()).c_str());
      std::exit(2);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

int64_t Records(OsFile& file) {
  return FileLength(file) / static_cast<int64_t>(sizeof(PlayerRecord));
}

int64_t RecordCount(const std::string& game) {
  OsFile file;
  OpenHeld(file, GameFilePath(game, "PLAYER.DAT"), faRead);
  return Records(file);
}

void WriteWhole(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::exit(2);
  std::fclose(f);
}

// Start text of a mail or news file; some end in a Ctrl-Z mark with leftovers behind it, as files
// that old DOS writers touched do.
std::string StartText(std::mt19937& rng, const std::string& name) {
  std::string text;
  for (unsigned i = rng() % 3 + 1; i > 0; --i) text += "  `2Before the soak: " + name + "\r\n";
  switch (rng() % 3) {
    case 0: text += "\x1a"; break;
    case 1: text += std::string("\x1a\x1a\0 left over", 13); break;
    default: break;
  }
  return text;
}

int Init(const std::string& game, unsigned seed) {
  std::mt19937 rng(seed);
  OsFile file;
  OpenHeld(file, GameFilePath(game, "PLAYER.DAT"), faReadWrite);
  const int64_t count = Records(file);
  for (int64_t n = 0; n < count; ++n) {
    PlayerRecord record;
    if (!FileReadAt(file, n * sizeof record, &record, sizeof record)) return 2;
    Stamp(record, n, 0);
    if (!FileWriteAt(file, n * sizeof record, &record, sizeof record)) return 2;
    const std::string mail = "MAIL" + std::to_string(n) + ".DAT";
    WriteWhole(game + mail, StartText(rng, mail));
  }
  WriteWhole(game + "LOGNOW.TXT", StartText(rng, "LOGNOW.TXT"));
  std::printf("init: %lld records stamped\n", static_cast<long long>(count));
  return 0;
}

// What a node changes: fields the editors change too, never the names or the marriage link.
const char* const kNodeFields[] = {
    "hit_points", "hit_max", "experience", "gold", "bank", "charm", "strength", "defense",
    "gems", "forest_fights", "player_fights", "kills", "level", "lays", "kids",
    "seen_master", "inn", "weapon_name", "armour_name"};

void ChangeField(PlayerRecord& record, const RecordField& field, std::mt19937& rng, int id) {
  if (field.type == rfText) {
    WriteRecordText(record, field.offset, field.size - 1u,
                    "Node" + std::to_string(id) + " " + std::to_string(rng() % 100000));
    return;
  }
  int64_t value = static_cast<int64_t>(rng() % 40000);
  if (rng() % 10 == 0) value = -value;  // the repair has something to mend
  if (field.size == 4 && rng() % 2 == 0) value *= 1000;
  WriteField(record, field.Ref(), value);
}

int Node(const std::string& game, int id, double seconds, unsigned seed) {
  std::mt19937 rng(seed);
  const std::string path = GameFilePath(game, "PLAYER.DAT");
  editor_state.journal_path = GameFilePath(game, "ZORVAN32.LOG");
  door_session.Kind = ckTelnet;  // the journal names the node, not "local"
  door_session.Node = id;
  door_session.UserName = "node " + std::to_string(id);
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  unsigned rewrites = 0, torn = 0, unjournaled = 0, lines = 0, holds = 0;
  while (Clock::now() < end) {
    OsFile file;
    OpenHeld(file, path, faReadWrite);
    const int64_t n = static_cast<int64_t>(rng() % static_cast<unsigned>(Records(file)));
    PlayerRecord record;
    if (!FileReadAt(file, n * sizeof record, &record, sizeof record)) return 2;
    if (!Whole(record, n)) {
      ++torn;
      std::fprintf(stderr, "node %d: record %lld is torn\n", id, static_cast<long long>(n));
    }
    const PlayerRecord before = record;
    for (unsigned k = rng() % 3 + 1; k > 0; --k)
      ChangeField(record, *FindRecordField(kNodeFields[rng() % std::size(kNodeFields)]), rng, id);
    // time_on is the nodes' alone: no editor operation changes it, so an editor's journal line
    // for it can only come from a save of a stale copy.
    record.time_on = static_cast<uint16_t>(record.time_on + 1);
    const uint32_t stamp = static_cast<uint32_t>(id) << 24 | ++rewrites;
    Stamp(record, n, stamp);
    if (!FileWriteAt(file, n * sizeof record, &record, sizeof record)) return 2;
    std::vector<JournalEntry> entries;
    for (size_t i = 0; i < kRecordFieldCount; ++i) {
      const RecordField& f = kRecordFields[i];
      if (RecordFieldDiffers(before, record, f))
        entries.push_back({static_cast<int32_t>(n), before.name.Get(), f.name,
                           RecordFieldValue(before, f), RecordFieldValue(record, f)});
    }
    entries.push_back({static_cast<int32_t>(n), before.name.Get(), "reserved",
                       std::to_string(StampOf(before)), std::to_string(stamp)});
    // Journaled before the file is let go, so the journal's order is the order of the writes.
    if (JournalAppend("node", entries))
      lines += static_cast<unsigned>(entries.size());
    else
      ++unjournaled;
    // Now and then a node keeps the file a while: a save waits for it.
    if (rng() % 8 == 0) {
      ++holds;
      Pause(rng, 60000);
    } else {
      Pause(rng, 2000);
    }
    FileClose(file);
    Pause(rng, 8000);
  }
  std::printf("node %d: %u rewrites (%u journal lines, %u held a while), %u torn records met, "
              "%u rewrites not journaled\n", id, rewrites, lines, holds, torn, unjournaled);
  return torn == 0 && unjournaled == 0 ? 0 : 1;
}

// A line of an appended entry: printable bytes (CP437 letters above 127 too), never a tab, a line
// end or a Ctrl-Z, so the log can hold it as it is.
std::string RandomLine(std::mt19937& rng) {
  std::string line = "  ";
  for (unsigned i = rng() % 110; i > 0; --i) {
    unsigned c = rng() % 190 + 32;
    line += static_cast<char>(c < 127 ? c : c + 1);  // 127 is skipped
  }
  return line;
}

// An old DOS writer's append: over the Ctrl-Z of the last 128-byte block (or at the end), under
// the same writers' lock as every writer of ours.
bool DosAppend(const std::string& path, const std::string& bytes) {
  OsFile file;
  OpenModeScope shared(fmShared);
  while (!(FileOpen(file, path, faAppend, true) && FileLockWriters(file))) {
    if (!FileErrorIsSharingConflict(FileLastError())) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  const int64_t length = FileLength(file);
  const int64_t block = std::max<int64_t>(0, length - 128);
  std::string tail(static_cast<size_t>(length - block), '\0');
  if (!tail.empty() && !FileReadAt(file, block, tail.data(), tail.size())) return false;
  const size_t mark = tail.find('\x1a');
  const int64_t start = mark == std::string::npos ? length : block + static_cast<int64_t>(mark);
  return FileTruncate(file, start) && FileWriteAtEnd(file, bytes.data(), bytes.size());
}

int Append(const std::string& game, int id, double seconds, unsigned seed, const std::string& log,
           bool dos) {
  std::mt19937 rng(seed);
  const int64_t records = RecordCount(game);
  std::FILE* out = std::fopen(log.c_str(), "wb");
  if (out == nullptr) return 2;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  unsigned appended = 0, marked = 0, failed = 0;
  for (unsigned seq = 1; Clock::now() < end; ++seq) {
    const std::string name =
        rng() % 4 == 0 ? "LOGNOW.TXT" : "MAIL" + std::to_string(rng() % records) + ".DAT";
    NoticeLines lines = {"  `7Soak entry A" + std::to_string(id) + "-" + std::to_string(seq)};
    for (unsigned i = rng() % 4; i > 0; --i) lines.push_back(RandomLine(rng));
    const bool ctrl_z = dos && rng() % 3 == 0;
    bool done;
    const std::string path = GameFilePath(game, name);
    if (dos) {
      std::string bytes;
      for (const std::string& line : lines) bytes += line + "\r\n";
      done = DosAppend(path, ctrl_z ? bytes + "\x1a" : bytes);
    } else {
      AppendedNotice ignored;
      done = AppendNotice(path, lines, ignored);
    }
    if (!done) {
      ++failed;
      std::fprintf(stderr, "appender %d: %s: %s\n", id, name.c_str(),
                   OsErrorText(FileLastError()).c_str());
      continue;
    }
    std::string entry = name + "\t" + std::to_string(seq) + "\t" + (ctrl_z ? "1" : "0");
    for (const std::string& line : lines) entry += "\t" + line;
    entry += "\n";
    std::fwrite(entry.data(), 1, entry.size(), out);
    std::fflush(out);
    ++appended;
    marked += ctrl_z;
    Pause(rng, 15000);
  }
  std::fclose(out);
  std::printf("appender %d: %u entries appended (%u ending in Ctrl-Z), %u failed\n", id, appended,
              marked, failed);
  return failed == 0 ? 0 : 1;
}

int Watch(const std::string& game, double seconds, const std::string& log) {
  std::mt19937 rng(1);
  std::FILE* out = std::fopen(log.c_str(), "wb");
  if (out == nullptr) return 2;
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  unsigned reads = 0, absent = 0, empty = 0;
  std::string last[2] = {"?", "?"};
  while (Clock::now() < end) {
    for (int i = 0; i < 2; ++i) {
      const std::string path = GameFilePath(game, i == 0 ? "MARRAGE.DAT" : "MARBARD.DAT");
      OsFile file;
      bool opened;
      {
        OpenModeScope exclusive(fmExclusive);
        while (!(opened = FileOpen(file, path, faRead)) &&
               FileErrorIsSharingConflict(FileLastError()))
          std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      std::string bytes, value;
      if (!opened) {
        ++absent;  // deleted: the character is unmarried
        value = "none";
      } else if (!FileReadHead(file, 4096, bytes)) {
        return 2;
      } else if (bytes.empty()) {
        ++empty;
        value = "(empty)";
      } else {
        ++reads;
        value = bytes.substr(0, bytes.find_first_of("\r\n"));
      }
      FileClose(file);
      if (value != last[i] || value == "(empty)") {
        std::fprintf(out, "%s\t%s\n", i == 0 ? "MARRAGE.DAT" : "MARBARD.DAT",
                     JournalText(value).c_str());
        std::fflush(out);
        last[i] = value;
      }
    }
    Pause(rng, 100);
  }
  std::fclose(out);
  std::printf("watcher: %u reads with a number, %u with no file, %u of an empty file\n", reads,
              absent, empty);
  return empty == 0 ? 0 : 1;
}

int Dump(const std::string& game) {
  OsFile file;
  OpenHeld(file, GameFilePath(game, "PLAYER.DAT"), faRead);
  const int64_t count = Records(file);
  std::printf("records\t%lld\t%lld\n", static_cast<long long>(count),
              static_cast<long long>(FileLength(file) % static_cast<int64_t>(kPlayerRecordSize)));
  for (int64_t n = 0; n < count; ++n) {
    PlayerRecord record;
    if (!FileReadAt(file, n * sizeof record, &record, sizeof record)) return 2;
    for (size_t i = 0; i < kRecordFieldCount; ++i)
      std::printf("%lld\t%s\t%s\n", static_cast<long long>(n), kRecordFields[i].name,
                  JournalText(RecordFieldValue(record, kRecordFields[i])).c_str());
    std::printf("%lld\treserved\t%s\n", static_cast<long long>(n),
                Whole(record, n) ? std::to_string(StampOf(record)).c_str() : "torn");
  }
  return 0;
}


int Hold(const std::string& path, double seconds) {
  OsFile file;
  OpenHeld(file, path, faReadWrite);
  std::printf("game_node: holding\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> a(argv + 1, argv + argc);
  const size_t n = a.size();
  if (n == 3 && a[0] == "init") return Init(a[1], static_cast<unsigned>(std::stoul(a[2])));
  if (n == 5 && a[0] == "node")
    return Node(a[1], std::stoi(a[2]), std::stod(a[3]), static_cast<unsigned>(std::stoul(a[4])));
  if ((n == 6 || n == 7) && a[0] == "append")
    return Append(a[1], std::stoi(a[2]), std::stod(a[3]), static_cast<unsigned>(std::stoul(a[4])),
                  a[5], n == 7 && a[6] == "dos");
  if (n == 4 && a[0] == "watch") return Watch(a[1], std::stod(a[2]), a[3]);
  if (n == 2 && a[0] == "dump") return Dump(a[1]);
  if (n == 3 && a[0] == "hold") return Hold(a[1], std::stod(a[2]));
  std::fprintf(stderr,
               "usage: game_node init GAME SEED | node GAME N SECONDS SEED |\n"
               "       append GAME N SECONDS SEED LOG [dos] | watch GAME SECONDS LOG |\n"
               "       hold FILE SECONDS | dump GAME\n");
  return 2;
}
