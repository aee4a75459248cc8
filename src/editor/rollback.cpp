#include "editor/rollback.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/mail_news.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "runtime/files.h"

namespace {

using Bytes = std::optional<std::string>;  // nullopt: no file

// The operation holding PLAYER.DAT in this process, and the file, kept open between operations as
// the journal is: a file made and removed at every save costs more than the save.
struct Kept {
  std::string operation;
  OsFile file;
  std::string path;
  int64_t end = 0;  // where the operation's next line goes; 0: nothing noted yet
  bool recovering = false;  // a crashed operation is being put back: nothing more is noted
};
Kept kept;

// Far past any operation's notes: a longer file is not ours.
constexpr int64_t kMaxBytes = 1 << 22;

std::string FileNameOf(const std::string& path) {
  return path.substr(path.find_last_of("/\\") + 1);
}

std::string HexOrNone(const Bytes& bytes) { return bytes ? JournalHex(*bytes) : "none"; }

bool Unhex(const std::string& text, Bytes& bytes) {
  if (text == "none") {
    bytes.reset();
    return true;
  }
  bytes.emplace();
  return JournalUnhex(text, *bytes);
}

// The file open, made when create; false when it is not there (or cannot be opened).
bool OpenKept(bool create) {
  const std::string path = RollbackPath();
  if (kept.file.IsOpen() && (kept.path != path || FileIsUnlinked(kept.file))) FileClose(kept.file);
  if (kept.file.IsOpen()) return true;
  if (path.empty() || (!create && !PathExists(path))) return false;
  OpenModeScope shared(fmShared);
  kept.path = path;
  return FileOpen(kept.file, path, faReadWrite, create);
}

// One line, written whole before its item; the first goes after the header, at the start.
bool Note(const std::string& line) {
  if (kept.recovering || kept.operation.empty() || RollbackPath().empty()) return true;
  std::string text = line + "\n";
  if (kept.end == 0) text = "operation\t" + kept.operation + "\n" + text;
  if (!OpenKept(true) || (kept.end == 0 && FileLength(kept.file) != 0 &&
                          !FileTruncate(kept.file, 0)))  // a leftover nobody could put back
    return false;
  if (!FileWriteAt(kept.file, kept.end, text.data(), text.size())) return false;
  kept.end += static_cast<int64_t>(text.size());
  return true;
}

// What an item held before the operation and what each of its writes left.
struct Changes {
  Bytes before;
  std::vector<Bytes> afters;
  void Add(const Bytes& was, const Bytes& wrote) {
    if (afters.empty()) before = was;
    afters.push_back(wrote);
  }
  bool Wrote(const Bytes& now) const {
    return std::find(afters.begin(), afters.end(), now) != afters.end();
  }
};

struct Append {
  std::string name;
  bool made = false;  // the append made the file
  int64_t start = 0;
  std::string replaced, appended;
};

struct Unfinished {
  std::string operation;
  std::map<int32_t, Changes> records;
  std::map<std::string, Changes> files;
  std::vector<Append> appends;
};

std::vector<std::string> Columns(const std::string& line) {
  std::vector<std::string> columns;
  for (size_t at = 0;;) {
    size_t tab = line.find('\t', at);
    columns.push_back(line.substr(at, tab == std::string::npos ? tab : tab - at));
    if (tab == std::string::npos) return columns;
    at = tab + 1;
  }
}

void TakeAppend(const std::vector<std::string>& c, Unfinished& what) {
  Append a{c[1], c[2] == "new", 0, "", ""};
  const char* end = c[2].data() + c[2].size();
  if (!a.made && (std::from_chars(c[2].data(), end, a.start).ptr != end || a.start < 0))
    return;
  if (!JournalUnhex(c[3], a.replaced) || !JournalUnhex(c[4], a.appended)) return;
  what.appends.push_back(a);
}

// One whole line into what; a damaged one is passed over.
void TakeLine(const std::vector<std::string>& c, Unfinished& what) {
  Bytes before, after;
  int32_t n = 0;
  if (c[0] == "record" && c.size() == 4 && StrToIntWhole(c[1], n) && n >= 0 &&
      Unhex(c[2], before) && Unhex(c[3], after) && before && after &&
      before->size() == kPlayerRecordSize && after->size() == kPlayerRecordSize)
    what.records[n].Add(before, after);
  else if (c[0] == "file" && c.size() == 4 && Unhex(c[2], before) && Unhex(c[3], after))
    what.files[c[1]].Add(before, after);
  else if (c[0] == "append" && c.size() == 5)
    TakeAppend(c, what);
}

bool ReadUnfinished(Unfinished& what) {
  std::string text;
  if (!FileReadHead(kept.file, kMaxBytes, text)) return false;
  size_t begin = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
    std::vector<std::string> columns = Columns(text.substr(begin, end - begin));
    if (begin == 0 && columns.size() == 2 && columns[0] == "operation")
      what.operation = columns[1];
    else if (begin > 0)
      TakeLine(columns, what);
    begin = end + 1;
  }
  return true;
}

PlayerRecord AsRecord(const Bytes& bytes) {
  PlayerRecord record;
  std::memcpy(&record, bytes->data(), sizeof record);
  return record;
}

struct Tally {
  int restored = 0, left = 0;
};

// The record back to its bytes before, whole where it holds what a write left, else in every
// field that holds what a write left there.
void RollBackRecord(GameOperation& op, int32_t n, const Changes& changes, Tally& tally) {
  PlayerRecord now;
  if (op.Read(n, now) != frDone) {
    ++tally.left;
    return;
  }
  const PlayerRecord was = AsRecord(changes.before);
  PlayerRecord back = now;
  if (changes.Wrote(std::string(reinterpret_cast<const char*>(&now), sizeof now))) back = was;
  for (size_t i = 0; i < kRecordFieldCount; ++i) {
    const RecordField& field = kRecordFields[i];
    bool wrote = false, changed = false;
    for (const Bytes& after : changes.afters) {
      changed = changed || RecordFieldDiffers(was, AsRecord(after), field);
      wrote = wrote || !RecordFieldDiffers(now, AsRecord(after), field);
    }
    if (changed && wrote) CopyRecordField(back, was, field);
    if (changed && !wrote && RecordFieldDiffers(now, was, field)) ++tally.left;
  }
  if (std::memcmp(&back, &now, sizeof now) == 0) return;
  if (op.Write(n, back) == frDone)
    ++tally.restored;
  else
    ++tally.left;
}

void RollBackFile(GameOperation& op, const std::string& name, const Changes& changes,
                  Tally& tally) {
  int character = npcNone;
  for (int c : {npcQuenna, npcDask})
    if (UpperStr(name) == NpcFileName(c)) character = c;
  std::string bytes;
  FileResult read = ReadGameLineFile(GamePath(name), bytes);
  Bytes now = read == frDone ? Bytes(bytes) : std::nullopt;
  if (character == npcNone || (read != frDone && read != frMissing) ||
      (now != changes.before && !changes.Wrote(now))) {
    ++tally.left;
    return;
  }
  if (now == changes.before) return;
  const std::string* before = changes.before ? &*changes.before : nullptr;
  if (op.WriteCharacterFileBytes(character, before))
    ++tally.restored;
  else
    ++tally.left;
}

void ScreenReport(const std::string& text) {
  screen_notice = "  `@" + UpperStr(text.substr(0, 1)) + text.substr(1);
}

void PutBack(GameOperation& op, const Unfinished& what, Tally& tally) {
  for (auto it = what.appends.rbegin(); it != what.appends.rend(); ++it) {
    NoticeCut cut = CutCrashedAppend(GamePath(it->name), it->made, it->start, it->replaced,
                                     it->appended);
    tally.restored += cut == ncCut;
    tally.left += cut == ncLeft;
  }
  for (const auto& [name, changes] : what.files) RollBackFile(op, name, changes, tally);
  for (const auto& [n, changes] : what.records) RollBackRecord(op, n, changes, tally);
}

}  // namespace

void (*rollback_report)(const std::string& text) = ScreenReport;

std::string RollbackPath() {
  if (journal_path.empty()) return "";
  return journal_path.substr(0, journal_path.find_last_of("/\\") + 1) + "ZORVAN32.RBK";
}

void RollbackStart(const std::string& operation) {
  if (!kept.recovering) kept.operation = operation;
}

bool RollbackNoteRecord(int32_t n, const PlayerRecord& before, const PlayerRecord& after) {
  auto hex = [](const PlayerRecord& r) {
    return JournalHex({reinterpret_cast<const char*>(&r), sizeof r});
  };
  return Note("record\t" + std::to_string(n) + "\t" + hex(before) + "\t" + hex(after));
}

bool RollbackNoteFile(const std::string& path, bool exists, const std::string* after) {
  if (kept.recovering || (!exists && after == nullptr)) return true;
  Bytes before;
  if (exists && ReadGameLineFile(path, before.emplace()) != frDone) return false;
  Bytes wrote = after != nullptr ? Bytes(*after) : std::nullopt;
  return Note("file\t" + FileNameOf(path) + "\t" + HexOrNone(before) + "\t" + HexOrNone(wrote));
}

bool RollbackNoteAppend(const std::string& path, bool made, int64_t start,
                        const std::string& replaced, const std::string& appended) {
  return Note("append\t" + FileNameOf(path) + "\t" + (made ? "new" : std::to_string(start)) +
              "\t" + JournalHex(replaced) + "\t" + JournalHex(appended));
}

void RollbackEnd(bool committed) {
  // Emptied, not removed: made again at every save, it would cost more than the save.
  if ((kept.end > 0 || (kept.recovering && committed)) && OpenKept(false))
    FileTruncate(kept.file, 0);
  kept.end = 0;
  kept.operation.clear();
}

void RollBackUnfinished() {
  if (kept.recovering || !OpenKept(false) || FileLength(kept.file) == 0) return;
  kept.recovering = true;
  Unfinished what;
  Tally tally;
  {
    GameOperation op(okRollback);
    // Read under the hold: an operation of another program may have ended meanwhile.
    if (op.Begin() == frDone && ReadUnfinished(what)) {
      PutBack(op, what, tally);
      op.Commit();
    }
  }
  kept.recovering = false;
  if (tally.restored + tally.left == 0) return;
  std::string name = what.operation.empty() ? "an operation" : what.operation;
  std::string text = "rolled back " + name + " (cut short by a crash): " +
                     std::to_string(tally.restored) + " put back";
  if (tally.left > 0)
    text += ", " + std::to_string(tally.left) + " changed since, left as they are";
  rollback_report(text);
}
