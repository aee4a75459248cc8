#include "editor/rollback.h"

#include <algorithm>
#include <charconv>

#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/player_file.h"
#include "runtime/files.h"

namespace {

// The rollback file kept open between operations, and what this process has noted in it.
RollbackHandle& Kept() { return editor_state.rollback_handle; }

using Bytes = RollbackBytes;

// Far past any operation's notes: a longer file is not ours.
constexpr int64_t kMaxBytes = 1 << 22;

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
  if (Kept().file.IsOpen() && (Kept().path != path || FileIsUnlinked(Kept().file)))
    FileClose(Kept().file);
  if (Kept().file.IsOpen()) return true;
  if (path.empty() || (!create && !PathExists(path))) return false;
  OpenModeScope shared(fmShared);
  Kept().path = path;
  return FileOpen(Kept().file, path, faReadWrite, create);
}

// One line, written whole before its item; the first goes after the header, at the start.
bool Note(const std::string& line) {
  if (Kept().recovering || Kept().operation.empty() || RollbackPath().empty()) return true;
  std::string text = line + "\n";
  if (Kept().end == 0) text = "operation\t" + Kept().operation + "\n" + text;
  if (!OpenKept(true) || (Kept().end == 0 && FileLength(Kept().file) != 0 &&
                          !FileTruncate(Kept().file, 0)))  // a leftover nobody could put back
    return false;
  if (!FileWriteAt(Kept().file, Kept().end, text.data(), text.size())) return false;
  Kept().end += static_cast<int64_t>(text.size());
  return true;
}

void TakeAppend(const std::vector<std::string>& c, UnfinishedOperation& what) {
  RollbackAppend a{c[1], c[2] == "new", 0, "", ""};
  const char* end = c[2].data() + c[2].size();
  if (!a.made && (std::from_chars(c[2].data(), end, a.start).ptr != end || a.start < 0))
    return;
  if (!JournalUnhex(c[3], a.replaced) || !JournalUnhex(c[4], a.appended)) return;
  what.appends.push_back(a);
}

// One whole line into what; a damaged one is passed over.
void TakeLine(const std::vector<std::string>& c, UnfinishedOperation& what) {
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

}  // namespace

void RollbackItem::Add(const Bytes& was, const Bytes& wrote) {
  if (afters.empty()) before = was;
  afters.push_back(wrote);
}

bool RollbackItem::Wrote(const Bytes& now) const {
  return std::find(afters.begin(), afters.end(), now) != afters.end();
}

std::string RollbackPath() {
  if (editor_state.journal_path.empty()) return "";
  return DirName(editor_state.journal_path) + "ZORVAN32.RBK";
}

void RollbackStart(const std::string& operation) {
  if (!Kept().recovering) Kept().operation = operation;
}

bool RollbackNoteRecord(int32_t n, const PlayerRecord& before, const PlayerRecord& after) {
  return Note("record\t" + std::to_string(n) + "\t" + JournalHex(RecordBytes(before)) + "\t" +
              JournalHex(RecordBytes(after)));
}

bool RollbackNoteFile(const std::string& path, bool exists, const std::string* after) {
  if (Kept().recovering || (!exists && after == nullptr)) return true;
  Bytes before;
  if (exists && ReadGameLineFile(path, before.emplace()) != frDone) return false;
  Bytes wrote = after != nullptr ? Bytes(*after) : std::nullopt;
  return Note("file\t" + BaseName(path) + "\t" + HexOrNone(before) + "\t" + HexOrNone(wrote));
}

bool RollbackNoteAppend(const std::string& path, bool made, int64_t start,
                        const std::string& replaced, const std::string& appended) {
  return Note("append\t" + BaseName(path) + "\t" + (made ? "new" : std::to_string(start)) + "\t" +
              JournalHex(replaced) + "\t" + JournalHex(appended));
}

void RollbackEnd(bool committed) {
  // Emptied, not removed: made again at every save, it would cost more than the save.
  if ((Kept().end > 0 || (Kept().recovering && committed)) && OpenKept(false))
    FileTruncate(Kept().file, 0);
  Kept().end = 0;
  Kept().operation.clear();
}

bool RollbackRecoveryStarts() {
  if (Kept().recovering || !OpenKept(false) || FileLength(Kept().file) == 0) return false;
  Kept().recovering = true;
  return true;
}

void RollbackRecoveryEnds() { Kept().recovering = false; }

bool ReadUnfinished(UnfinishedOperation& what) {
  std::string text;
  if (!FileReadHead(Kept().file, kMaxBytes, text)) return false;
  size_t begin = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
    std::vector<std::string> columns =
        JournalColumns(std::string_view(text).substr(begin, end - begin));
    if (begin == 0 && columns.size() == 2 && columns[0] == "operation")
      what.operation = columns[1];
    else if (begin > 0)
      TakeLine(columns, what);
    begin = end + 1;
  }
  return true;
}
