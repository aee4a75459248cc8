#include "editor/player_file.h"

#include <algorithm>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

// How long an exclusive open keeps retrying while a game node holds the file.
constexpr int32_t kRetryMs = 5000;

// The open of PLAYER.DAT that a PlayerFileHold keeps, or nullptr.
OsFile* held_player_file = nullptr;

struct FileProblem {
  WriteResult result;
  const char* text;
};
const FileProblem kFileProblems[] = {
    {wrBusy, "PLAYER.DAT is busy!"},
    {wrMissing, "PLAYER.DAT is missing!"},
    {wrNotWritable, "PLAYER.DAT is unwritable!"},
    {wrOutside, "PLAYER.DAT is too short!"},
};

int64_t RecordOffset(int32_t n) { return static_cast<int64_t>(n) * kPlayerRecordSize; }

}  // namespace

WriteResult RetryWhileHeld(const std::string& path, const std::function<bool()>& attempt) {
  int32_t start = MsOfDay();
  bool first_retry = true;
  for (;;) {
    bool done = attempt();
    int error = FileLastError();
    if (done) return wrDone;
    // Only a file held elsewhere is worth waiting for.
    if (!FileErrorIsSharingConflict(error)) return PathExists(path) ? wrNotWritable : wrMissing;
    if (MsElapsed(start, MsOfDay()) > kRetryMs) return wrBusy;
    if (first_retry) DoorFlushOutput();  // what came before the wait is seen during it
    first_retry = false;
    SleepMs(1);
  }
}

WriteResult OpenWithRetry(OsFile& file, const std::string& path, FileAccess access) {
  OpenModeScope exclusive(fmExclusive);
  return RetryWhileHeld(path, [&] { return FileOpen(file, path, access); });
}

PlayerFileHold::~PlayerFileHold() { Release(); }

WriteResult PlayerFileHold::Take() {
  if (held_player_file != nullptr) return wrBusy;  // one hold at a time
  WriteResult result = OpenWithRetry(file_, GamePath("PLAYER.DAT"));
  if (result == wrDone) held_player_file = &file_;
  return result;
}

void PlayerFileHold::Release() {
  if (held_player_file == &file_) held_player_file = nullptr;
  FileClose(file_);
}

namespace {

// Record n, or the program ends with the runtime's report.
void ReadRecordOrRunError(int32_t n, PlayerRecord& target) {
  WriteResult result = ReadPlayerRecord(n, target);
  if (result != wrDone) RunError(GamePath("PLAYER.DAT"), result == wrOutside ? 0 : FileLastError());
}

// At record n, which may be at most the record just past the end or, existing_only, must already be
// in the file.
WriteResult WriteHeld(OsFile& file, int32_t n, const PlayerRecord& record, bool existing_only) {
  int64_t length = FileLength(file);
  if (length < 0) return wrNotWritable;
  int64_t last_start = existing_only ? length - static_cast<int64_t>(kPlayerRecordSize) : length;
  if (n < 0 || RecordOffset(n) > last_start) return wrOutside;
  return FileWriteAt(file, RecordOffset(n), &record, kPlayerRecordSize) ? wrWritten : wrNotWritable;
}

// work on PLAYER.DAT: through the hold when there is one, else with an open of its own.
WriteResult WithPlayerFile(const std::string& path,
                           const std::function<WriteResult(OsFile&)>& work) {
  if (held_player_file != nullptr && path == GamePath("PLAYER.DAT")) return work(*held_player_file);
  OsFile file;
  WriteResult result = OpenWithRetry(file, path);
  return result == wrDone ? work(file) : result;
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
  std::string& known = game_paths[game_dir + name];
  if (!known.empty() && PathExists(known)) return known;
  known = GameFilePath(game_dir, name);
  return known;
}

WriteResult ReadPlayerRecord(int32_t n, PlayerRecord& target) {
  return WithPlayerFile(GamePath("PLAYER.DAT"), [&](OsFile& file) {
    PlayerRecord record;
    if (n < 0) return wrOutside;
    if (!FileReadAt(file, RecordOffset(n), &record, kPlayerRecordSize))
      return FileLastError() == 0 ? wrOutside : wrNotWritable;  // error 0: the end of the file
    target = record;
    return wrDone;
  });
}

void SetCurrentPlayerRecord(const PlayerRecord& record) {
  current_record = record;
  current_as_read = record;
  save_pending = false;  // whatever change was waiting is in it or has just been replaced
}

void LoadCurrentPlayer() {
  PlayerRecord record;
  ReadRecordOrRunError(current_player, record);
  SetCurrentPlayerRecord(record);
}

WriteResult MoveToPlayer(uint8_t n) {
  PlayerRecord record;
  WriteResult result = ReadPlayerRecord(n, record);
  if (result != wrDone) return result;
  current_player = n;
  SetCurrentPlayerRecord(record);
  return wrDone;
}

WriteResult ReadCurrentMerged(PlayerRecord& out) {
  PlayerRecord disk;
  WriteResult result = ReadPlayerRecord(current_player, disk);
  if (result != wrDone) return result;
  MergeChangedFields(current_as_read, current_record, disk);
  out = disk;
  return wrDone;
}

void LoadScratchRecord(int32_t n) {
  if (n == -1) return;
  ReadRecordOrRunError(n, scratch_record);
}

WriteResult CountPlayers(int32_t& count) {
  count = 0;
  player_path = GamePath("PLAYER.DAT");
  if (!PathExists(player_path)) return wrMissing;
  return WithPlayerFile(player_path, [&](OsFile& file) {
    int64_t length = FileLength(file);
    if (length < 0) return wrNotWritable;
    count = static_cast<int32_t>(std::min<int64_t>(length / kPlayerRecordSize, INT32_MAX));
    return wrDone;
  });
}

int32_t PlayerCount() {
  int32_t count = 0;
  WriteResult result = CountPlayers(count);
  return result == wrDone || result == wrMissing ? count : kPlayerCountUnknown;
}

WriteResult WritePlayerRecord(const std::string& file_name, int32_t n, const PlayerRecord& record,
                              bool existing_only) {
  WriteResult result = WithPlayerFile(
      file_name, [&](OsFile& file) { return WriteHeld(file, n, record, existing_only); });
  if (held_player_file == nullptr) SetFileOpenMode(fmShared);  // the save's lasting mode
  return result;
}

void NoteCurrentPlayerSave(WriteResult result) {
  save_pending = result != wrWritten;
  if (save_pending) pending_cause = result;
}

bool ReadyToLeaveCurrentPlayer() { return !save_pending || SaveCurrentPlayer(); }

std::string FileProblemText(WriteResult result) {
  for (const FileProblem& problem : kFileProblems)
    if (problem.result == result) return problem.text;
  return "";
}

std::string SaveNotice() {
  return "  `@" + FileProblemText(pending_cause) +
         "  `%The change is kept in memory until the next save.";
}

std::string StayNotice(WriteResult result) {
  return "  `@" + FileProblemText(result) + "  `%The editor stays on this player.";
}

std::string LastOnText() { return "`!" + IntToStr(current_record.time_on); }

std::string GameDayText() {
  std::string path = GamePath("TIME.DAT");
  if (!PathExists(path)) return "`! Unknown!";
  return "`!" + ReadFirstLine(path, 2);
}

std::string ReadFirstLine(const std::string& path, size_t max) {
  OsFile file;
  if (OpenWithRetry(file, path) != wrDone) RunError(path, FileLastError());
  // The first max bytes hold all that is kept, whether or not the line ends inside them.
  int64_t length = FileLength(file);
  if (length < 0) RunError(path, FileLastError());
  auto kept = static_cast<size_t>(std::min<int64_t>(length, static_cast<int64_t>(max)));
  std::string bytes(kept, '\0');
  if (!bytes.empty() && !FileReadAt(file, 0, bytes.data(), bytes.size()))
    RunError(path, FileLastError());
  return FirstLine(bytes, max);
}
