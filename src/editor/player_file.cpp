#include "editor/player_file.h"

#include <algorithm>
#include <stdexcept>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

// How long an exclusive open keeps retrying while a game node holds the file.
constexpr int32_t kRetryMs = 5000;

struct FileProblem {
  FileResult result;
  const char* text;
};
const FileProblem kFileProblems[] = {
    {frBusy, "PLAYER.DAT is busy!"},
    {frMissing, "PLAYER.DAT is missing!"},
    {frFailed, "PLAYER.DAT is unwritable!"},
    {frOutside, "PLAYER.DAT is too short!"},
};

int64_t RecordOffset(int32_t n) { return static_cast<int64_t>(n) * kPlayerRecordSize; }

}  // namespace

FileResult RetryWhileHeld(const std::string& path, const std::function<bool()>& attempt) {
  int32_t start = MsOfDay();
  bool first_retry = true;
  for (;;) {
    bool done = attempt();
    int error = FileLastError();
    if (done) return frDone;
    // Only a file held elsewhere is worth waiting for.
    if (!FileErrorIsSharingConflict(error)) return PathExists(path) ? frFailed : frMissing;
    if (MsElapsed(start, MsOfDay()) > kRetryMs) return frBusy;
    if (first_retry) {
      DoorFlushOutput();  // what came before the wait is seen during it
      if (editor_state.held_wait_report != nullptr) editor_state.held_wait_report(path);
    }
    first_retry = false;
    SleepMs(1);
  }
}

FileResult OpenWithRetry(OsFile& file, const std::string& path, FileAccess access) {
  OpenModeScope exclusive(fmExclusive);
  return RetryWhileHeld(path, [&] { return FileOpen(file, path, access); });
}

FileResult ReadGameLineFile(const std::string& path, std::string& bytes) {
  OsFile file;
  FileResult read = OpenWithRetry(file, path, faRead);
  if (read == frDone && !FileReadHead(file, kLineFileMax, bytes)) read = frFailed;
  return read == frDone || PathExists(path) ? read : frMissing;
}

PlayerFileHold::~PlayerFileHold() { Release(); }

FileResult PlayerFileHold::Take() {
  if (editor_state.held_player_file != nullptr) throw std::logic_error("PLAYER.DAT held twice");
  FileResult result = OpenWithRetry(file_, GamePath("PLAYER.DAT"));
  if (result == frDone) editor_state.held_player_file = &file_;
  return result;
}

void PlayerFileHold::Release() {
  if (editor_state.held_player_file == &file_) editor_state.held_player_file = nullptr;
  FileClose(file_);
}

namespace {

// Record n, or the program ends with the runtime's report.
void ReadRecordOrRunError(int32_t n, PlayerRecord& target) {
  FileResult result = ReadPlayerRecord(n, target);
  if (result != frDone) RunError(GamePath("PLAYER.DAT"), result == frOutside ? 0 : FileLastError());
}

// At record n, which may be at most the record just past the end or, existing_only, must already be
// in the file.
FileResult WriteHeld(OsFile& file, int32_t n, const PlayerRecord& record, bool existing_only) {
  int64_t length = FileLength(file);
  if (length < 0) return frFailed;
  int64_t last_start = existing_only ? length - static_cast<int64_t>(kPlayerRecordSize) : length;
  if (n < 0 || RecordOffset(n) > last_start) return frOutside;
  return FileWriteAt(file, RecordOffset(n), &record, kPlayerRecordSize) ? frDone : frFailed;
}

// work on PLAYER.DAT: through the hold when there is one, else with an open of its own.
FileResult WithPlayerFile(const std::string& path,
                           const std::function<FileResult(OsFile&)>& work) {
  if (editor_state.held_player_file != nullptr && path == GamePath("PLAYER.DAT"))
    return work(*editor_state.held_player_file);
  OsFile file;
  FileResult result = OpenWithRetry(file, path);
  return result == frDone ? work(file) : result;
}

// Text up to the first line end (or the text files' end-of-file mark), at most max characters.
std::string FirstLine(const std::string& bytes, size_t max) {
  size_t end = bytes.find_first_of("\r\n\x1a");
  if (end == std::string::npos) end = bytes.size();
  return bytes.substr(0, std::min(end, max));
}

}  // namespace

std::string GamePath(const std::string& name) {
  // Still there as found: one stat, where finding it again may read the whole directory.
  std::string& known = editor_state.game_paths[editor_state.game_dir + name];
  if (!known.empty() && PathExists(known)) return known;
  known = GameFilePath(editor_state.game_dir, name);
  return known;
}

FileResult ReadPlayerRecord(int32_t n, PlayerRecord& target) {
  return WithPlayerFile(GamePath("PLAYER.DAT"), [&](OsFile& file) {
    PlayerRecord record;
    if (n < 0) return frOutside;
    if (!FileReadAt(file, RecordOffset(n), &record, kPlayerRecordSize))
      return FileLastError() == 0 ? frOutside : frFailed;  // error 0: the end of the file
    target = record;
    return frDone;
  });
}

void SetCurrentPlayerRecord(const PlayerRecord& record) {
  editor_state.current_record = record;
  editor_state.current_as_read = record;
  // Whatever change was waiting is in it or has just been replaced.
  editor_state.save_pending = false;
}

void LoadCurrentPlayer() {
  PlayerRecord record;
  ReadRecordOrRunError(editor_state.current_player, record);
  SetCurrentPlayerRecord(record);
}

FileResult MoveToPlayer(uint8_t n) {
  PlayerRecord record;
  FileResult result = ReadPlayerRecord(n, record);
  if (result != frDone) return result;
  editor_state.current_player = n;
  SetCurrentPlayerRecord(record);
  return frDone;
}

FileResult ReadCurrentMerged(PlayerRecord& out) {
  PlayerRecord disk;
  FileResult result = ReadPlayerRecord(editor_state.current_player, disk);
  if (result != frDone) return result;
  MergeChangedFields(editor_state.current_as_read, editor_state.current_record, disk);
  out = disk;
  return frDone;
}

void LoadScratchRecord(int32_t n) {
  if (n == -1) return;
  ReadRecordOrRunError(n, editor_state.scratch_record);
}

FileResult CountPlayers(int32_t& count) {
  count = 0;
  const std::string player_path = GamePath("PLAYER.DAT");
  if (!PathExists(player_path)) return frMissing;
  return WithPlayerFile(player_path, [&](OsFile& file) {
    int64_t length = FileLength(file);
    if (length < 0) return frFailed;
    count = static_cast<int32_t>(std::min<int64_t>(length / kPlayerRecordSize, INT32_MAX));
    return frDone;
  });
}

int32_t PlayerCount() {
  int32_t count = 0;
  FileResult result = CountPlayers(count);
  return result == frDone || result == frMissing ? count : kPlayerCountUnknown;
}

FileResult WritePlayerRecord(const std::string& file_name, int32_t n, const PlayerRecord& record,
                              bool existing_only) {
  FileResult result = WithPlayerFile(
      file_name, [&](OsFile& file) { return WriteHeld(file, n, record, existing_only); });
  if (editor_state.held_player_file == nullptr)
    SetFileOpenMode(fmShared);  // the save's lasting mode
  return result;
}

void NoteCurrentPlayerSave(FileResult result) {
  editor_state.save_pending = result != frDone;
  if (editor_state.save_pending) editor_state.pending_cause = result;
}

std::string FileProblemText(FileResult result) {
  for (const FileProblem& problem : kFileProblems)
    if (problem.result == result) return problem.text;
  return "";
}

std::string SaveNotice() {
  return "  `@" + FileProblemText(editor_state.pending_cause) +
         "  `%The change is kept in memory until the next save.";
}

std::string StayNotice(FileResult result) {
  return "  `@" + FileProblemText(result) + "  `%The editor stays on this player.";
}

std::string LastOnText() { return "`!" + IntToStr(editor_state.current_record.time_on); }

std::string GameDayText() {
  std::string path = GamePath("TIME.DAT");
  if (!PathExists(path)) return "`! Unknown!";
  return "`!" + ReadFirstLine(path, 2);
}

std::string ReadFirstLine(const std::string& path, size_t max) {
  OsFile file;
  // Read-only: a read-only ZORVAN32.CFG or TIME.DAT is still read.
  if (OpenWithRetry(file, path, faRead) != frDone) RunError(path, FileLastError());
  // The first max bytes hold all that is kept, whether or not the line ends inside them.
  int64_t length = FileLength(file);
  if (length < 0) RunError(path, FileLastError());
  auto kept = static_cast<size_t>(std::min<int64_t>(length, static_cast<int64_t>(max)));
  std::string bytes(kept, '\0');
  if (!bytes.empty() && !FileReadAt(file, 0, bytes.data(), bytes.size()))
    RunError(path, FileLastError());
  return FirstLine(bytes, max);
}
