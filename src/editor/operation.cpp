#include "editor/operation.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/npc_files.h"
#include "editor/rollback.h"
#include "runtime/files.h"

namespace {

struct KindName {
  OperationKind kind;
  const char* name;
};
const KindName kKindNames[] = {
    {OperationKind::kFieldEdit, "field-edit"},
    {OperationKind::kRepair, "repair"},
    {OperationKind::kNewDay, "new-day"},
    {OperationKind::kCleanSlate, "clean-slate"},
    {OperationKind::kDeletion, "deletion"},
    {OperationKind::kMarriage, "marriage"},
    {OperationKind::kDivorce, "divorce"},
    {OperationKind::kDoubleMarriageRepair, "double-marriage-repair"},
    {OperationKind::kUndo, "undo"},
    {OperationKind::kSet, "set"},
    {OperationKind::kRollback, "rollback"},
};

// The file's bytes (up to the cap) under the exclusive open, then the new ones written over them in
// place and the rest cut off: at no moment is the file empty, which the game would read as player 0.
bool RewriteInPlace(const std::string& path, const std::string& bytes, std::string& before) {
  // A file made anew is linked into place whole: created empty and then written, a node could read
  // it in between.
  if (!PathExists(path) && FileCreateWhole(path, bytes)) {
    before.clear();
    return true;
  }
  if (!PathExists(path) && !FileErrorIsAlreadyThere(FileLastError())) return false;
  OsFile file;
  if (OpenWithRetry(file, path) != frDone || !FileReadHead(file, kLineFileMax, before)) return false;
  if (FileWriteAt(file, 0, bytes.data(), bytes.size()) &&
      FileTruncate(file, static_cast<int64_t>(bytes.size())))
    return true;
  // Put the old line back rather than leave a torn one.
  FileWriteAt(file, 0, before.data(), before.size());
  FileTruncate(file, static_cast<int64_t>(before.size()));
  return false;
}

// A character file back as it was before the operation.
void RestoreFile(const std::string& path, bool existed, const std::string& before) {
  if (!existed) {
    DeleteFileIfExists(path);
    return;
  }
  std::string ignored;
  RewriteInPlace(path, before, ignored);
}

// One append per file, in the order of first mention: a second open of a file this operation holds
// would wait for our own lock.
std::vector<PendingNotice> NoticesByFile(const std::vector<PendingNotice>& notices) {
  std::vector<PendingNotice> files;
  for (const PendingNotice& notice : notices) {
    auto same = std::find_if(files.begin(), files.end(), [&](const PendingNotice& f) {
      return UpperStr(f.file_name) == UpperStr(notice.file_name);
    });
    if (same == files.end())
      files.push_back(notice);
    else
      same->lines.insert(same->lines.end(), notice.lines.begin(), notice.lines.end());
  }
  return files;
}

std::string FirstWordyLine(const NoticeLines& lines) {
  for (const std::string& line : lines)
    if (line.find_first_not_of(' ') != std::string::npos) return line;
  return "";
}

}  // namespace

const char* OperationName(OperationKind kind) {
  for (const KindName& k : kKindNames)
    if (k.kind == kind) return k.name;
  return "?";
}

GameOperation::~GameOperation() {
  if (!committed_) Undo();
}

FileResult GameOperation::Begin() {
  RollBackUnfinished();  // first, as an operation of its own
  FileResult result = hold_.Take();
  if (result == frDone && !dry_run_) RollbackStart(name_.empty() ? OperationName(kind_) : name_);
  return result;
}

FileResult GameOperation::Read(int32_t n, PlayerRecord& out) {
  if (!hold_.Held()) return frBusy;
  return ReadPlayerRecord(n, out);
}

FileResult GameOperation::Write(int32_t n, const PlayerRecord& record) {
  if (!hold_.Held()) return frBusy;
  PlayerRecord before;
  RecordChange* known = nullptr;
  for (RecordChange& change : records_)
    if (change.n == n) known = &change;
  if (known == nullptr) {
    FileResult read = ReadPlayerRecord(n, before);
    if (read != frDone) return read;
  }
  if (!dry_run_) {
    if (!RollbackNoteRecord(n, known != nullptr ? known->before : before, record)) return frFailed;
    FileResult result = WritePlayerRecord(GamePath("PLAYER.DAT"), n, record, true);
    if (result != frDone) return result;
  }
  if (known != nullptr)
    known->after = record;
  else
    records_.push_back({n, before, record});
  return frDone;
}

bool GameOperation::WriteCharacterFile(int character, int32_t player) {
  if (player < 0) return WriteCharacterFileBytes(character, nullptr);
  const std::string line = IntToStr(player) + "\r\n";
  return WriteCharacterFileBytes(character, &line);
}

bool GameOperation::WriteCharacterFileBytes(int character, const std::string* bytes) {
  std::string path = GamePath(NpcFileName(character));
  FileChange change{path, PathExists(path), "", ""};
  if (dry_run_) return true;
  if (!RollbackNoteFile(path, change.existed, bytes)) return false;
  if (bytes == nullptr) {
    if (!change.existed) return true;
    if (ReadGameLineFile(path, change.before) != frDone) return false;
    if (DeleteFileIfExists(path) == 1 || PathExists(path)) return false;
  } else {
    change.after = *bytes;
    if (!RewriteInPlace(path, change.after, change.before)) {
      if (!change.existed) DeleteFileIfExists(path);
      return false;
    }
  }
  files_.push_back(std::move(change));
  return true;
}

void GameOperation::Notice(const std::string& file_name, NoticeLines lines) {
  notices_.push_back({file_name, std::move(lines)});
}

FileResult GameOperation::Commit(JournalRule rule) {
  if (dry_run_) {
    committed_ = true;
    hold_.Release();
    return frDone;
  }
  // Each file stays locked until the last notice is out, so taking one back cuts only our entry.
  std::vector<AppendedNotice> sent;
  for (const PendingNotice& notice : NoticesByFile(notices_)) {
    AppendedNotice appended;
    if (!AppendNotice(GamePath(notice.file_name), notice.lines, appended)) {
      failed_file_ = notice.file_name;
      failed_error_ = appended.os_error;
      break;
    }
    sent.push_back(std::move(appended));
  }
  if (failed_file_.empty()) journaled_ = Journal();
  if (failed_file_.empty() && !journaled_ && rule == jrRequired) {
    failed_file_ = editor_state.journal_path;
    failed_error_ = FileLastError();
  }
  if (!failed_file_.empty()) {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it) TakeBackNotice(*it);
    Undo();
    return frFailed;
  }
  committed_ = true;
  if (hold_.Held()) RollbackEnd(true);  // after the journal, before a node may write again
  hold_.Release();
  return frDone;
}

void GameOperation::Undo() {
  for (auto it = files_.rbegin(); it != files_.rend(); ++it)
    RestoreFile(it->path, it->existed, it->before);
  files_.clear();
  if (!records_.empty() && hold_.Held() && !dry_run_) {
    for (auto it = records_.rbegin(); it != records_.rend(); ++it)
      WritePlayerRecord(GamePath("PLAYER.DAT"), it->n, it->before, true);
  }
  records_.clear();
  if (hold_.Held() && !dry_run_) RollbackEnd(false);
  hold_.Release();
}

bool GameOperation::Journal() {
  std::vector<JournalEntry> entries;
  auto bytes = [](const PlayerRecord& record) { return JournalHex(RecordBytes(record)); };
  for (const RecordChange& change : records_) {
    std::string name = change.before.name.Get();
    if (std::memcmp(&change.before, &change.after, sizeof change.before) == 0) continue;
    for (size_t i = 0; i < kRecordFieldCount; ++i) {
      const RecordField& field = kRecordFields[i];
      if (!RecordFieldDiffers(change.before, change.after, field)) continue;
      entries.push_back({change.n, name, field.name, RecordFieldValue(change.before, field),
                         RecordFieldValue(change.after, field)});
    }
    entries.push_back({change.n, name, "record", bytes(change.before), bytes(change.after)});
  }
  for (const FileChange& change : files_) {
    auto number = [](const std::string& bytes, bool there) {
      return there ? bytes.substr(0, bytes.find_first_of("\r\n")) : std::string("none");
    };
    std::string file = BaseName(change.path);
    bool after_there = !change.after.empty();
    entries.push_back({-1, "", file, number(change.before, change.existed),
                       number(change.after, after_there)});
    entries.push_back({-1, "", file + "-bytes",
                       change.existed ? JournalHex(change.before) : "none",
                       after_there ? JournalHex(change.after) : "none"});
  }
  for (const PendingNotice& notice : notices_)
    entries.push_back({-1, "", "notice", notice.file_name, FirstWordyLine(notice.lines)});
  const std::string name = name_.empty() ? OperationName(kind_) : name_;
  return JournalAppend(name.c_str(), entries);
}

FileResult UpdateCurrentPlayer(OperationKind kind,
                                const std::function<void(PlayerRecord&)>& change) {
  GameOperation op(kind);
  FileResult result = op.Begin();
  PlayerRecord record;
  if (result == frDone) result = ReadCurrentMerged(record);
  if (result != frDone) return result;
  if (change) change(record);
  result = op.Write(editor_state.current_player, record);
  if (result == frDone) result = CommitShown(op);
  if (result == frDone) SetCurrentPlayerRecord(record);
  return result;
}

bool SaveCurrentPlayer() {
  FileResult result = UpdateCurrentPlayer(OperationKind::kFieldEdit, nullptr);
  SetFileOpenMode(fmShared);  // what a save leaves for opens that set no mode of their own
  NoteCurrentPlayerSave(result);
  // Say why the change is only in memory instead of losing it without a word.
  if (editor_state.save_pending) DoorPrintLn(SaveNotice());
  return !editor_state.save_pending;
}

bool ReadyToLeaveCurrentPlayer() { return !editor_state.save_pending || SaveCurrentPlayer(); }

bool DeleteCharacterFiles(OperationKind kind, std::initializer_list<int> characters) {
  GameOperation op(kind);
  FileResult result = op.Begin();
  for (int character : characters) {
    if (result == frDone && !op.WriteCharacterFile(character, -1)) result = frFailed;
    if (result != frDone) {
      editor_state.screen_notice =
          NotDoneNotice(op, result, std::string(NpcFileName(character)) + " was not deleted.");
      return false;
    }
  }
  return CommitShown(op) == frDone;
}

FileResult CommitShown(GameOperation& op) {
  FileResult result = op.Commit(jrChangeStands);
  if (result == frDone && !op.Journaled() && !editor_state.journal_warned) {
    editor_state.journal_warned = true;
    editor_state.screen_notice =
        "  `@" + editor_state.journal_path + " cannot be written!  `%Changes are not journaled.";
  }
  return result;
}

std::string NotDoneNotice(const GameOperation& op, FileResult result, const std::string& what) {
  std::string cause = result == frFailed && !op.FailedFile().empty()
                          ? op.FailedFile() + " could not be written!"
                          : FileProblemText(result);
  return "  `@" + cause + "  `%" + what;
}

namespace {

using Bytes = RollbackBytes;

PlayerRecord AsRecord(const Bytes& bytes) {
  PlayerRecord record{};
  RecordFromBytes(*bytes, record);  // the rollback file's reader took only whole records
  return record;
}

struct Tally {
  int restored = 0, left = 0;
};

// The record back to its bytes before, whole where it holds what a write left, else in every
// field that holds what a write left there.
void RollBackRecord(GameOperation& op, int32_t n, const RollbackItem& changes, Tally& tally) {
  PlayerRecord now;
  if (op.Read(n, now) != frDone) {
    ++tally.left;
    return;
  }
  const PlayerRecord was = AsRecord(changes.before);
  PlayerRecord back = now;
  if (changes.Wrote(RecordBytes(now))) back = was;
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

void RollBackFile(GameOperation& op, const std::string& name, const RollbackItem& changes,
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
  editor_state.screen_notice = "  `@" + UpperStr(text.substr(0, 1)) + text.substr(1);
}

void PutBack(GameOperation& op, const UnfinishedOperation& what, Tally& tally) {
  for (auto it = what.appends.rbegin(); it != what.appends.rend(); ++it) {
    NoticeCut cut =
        CutCrashedAppend(GamePath(it->name), it->made, it->start, it->replaced, it->appended);
    tally.restored += cut == ncCut;
    tally.left += cut == ncLeft;
  }
  for (const auto& [name, changes] : what.files) RollBackFile(op, name, changes, tally);
  for (const auto& [n, changes] : what.records) RollBackRecord(op, n, changes, tally);
}

}  // namespace

void RollBackUnfinished() {
  if (!RollbackRecoveryStarts()) return;
  UnfinishedOperation what;
  Tally tally;
  {
    GameOperation op(OperationKind::kRollback);
    // Read under the hold: an operation of another program may have ended meanwhile.
    if (op.Begin() == frDone && ReadUnfinished(what)) {
      PutBack(op, what, tally);
      op.Commit();
    }
  }
  RollbackRecoveryEnds();
  if (tally.restored + tally.left == 0) return;
  std::string name = what.operation.empty() ? "an operation" : what.operation;
  std::string text = "rolled back " + name +
                     " (cut short by a crash): " + std::to_string(tally.restored) + " put back";
  if (tally.left > 0)
    text += ", " + std::to_string(tally.left) + " changed since, left as they are";
  (editor_state.rollback_report != nullptr ? editor_state.rollback_report : ScreenReport)(text);
}
