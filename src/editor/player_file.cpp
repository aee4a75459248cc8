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

// Why the current player's change is waiting (while save_pending).
WriteResult pending_cause = wrBusy;

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

WriteResult OpenWithRetry(OsFile& file, const std::string& path, FileAccess access) {
  SetFileOpenMode(fmExclusive);
  int32_t start = MsOfDay();
  bool first_retry = true;
  for (;;) {
    bool opened = FileOpen(file, path, access);
    int error = FileLastError();
    if (opened) return wrDone;
    // Only a file held elsewhere is worth waiting for.
    if (!FileErrorIsSharingConflict(error)) return PathExists(path) ? wrNotWritable : wrMissing;
    if (MsElapsed(start, MsOfDay()) > kRetryMs) return wrBusy;
    if (first_retry) DoorFlushOutput();  // what came before the wait is seen during it
    first_retry = false;
    SleepMs(1);
  }
}

namespace {

// Record n, or the program ends with the runtime's report.
void ReadRecordOrRunError(int32_t n, PlayerRecord& target) {
  WriteResult result = ReadPlayerRecord(n, target);
  if (result != wrDone) RunError(GamePath("PLAYER.DAT"), result == wrOutside ? 0 : FileLastError());
}

// At record n, which may be at most the record just past the end or, existing_only, must already be
// in the file; before_write runs just before the write.
WriteResult WriteHeld(OsFile& file, int32_t n, const PlayerRecord& record, bool existing_only,
                      const std::function<void()>& before_write) {
  int64_t length = FileLength(file);
  if (length < 0) return wrNotWritable;
  int64_t last_start = existing_only ? length - static_cast<int64_t>(kPlayerRecordSize) : length;
  if (n < 0 || RecordOffset(n) > last_start) return wrOutside;
  if (before_write) before_write();
  return FileWriteAt(file, RecordOffset(n), &record, kPlayerRecordSize) ? wrWritten : wrNotWritable;
}

WriteResult WriteRecord(const std::string& file_name, int32_t n, const PlayerRecord& record,
                        bool existing_only, const std::function<void()>& before_write) {
  OsFile file;
  WriteResult result = OpenWithRetry(file, file_name);
  if (result == wrDone) result = WriteHeld(file, n, record, existing_only, before_write);
  FileClose(file);
  SetFileOpenMode(fmShared);
  return result;
}

// Text up to the first line end (or the text files' end-of-file mark), at most max characters.
std::string FirstLine(const std::string& bytes, size_t max) {
  size_t end = bytes.find_first_of("\r\n\x1a");
  if (end == std::string::npos) end = bytes.size();
  return bytes.substr(0, std::min(end, max));
}

}  // namespace

std::string GamePath(const std::string& name) { return GameFilePath(game_dir, name); }

WriteResult ReadPlayerRecord(int32_t n, PlayerRecord& target) {
  OsFile file;
  WriteResult result = OpenWithRetry(file, GamePath("PLAYER.DAT"));
  if (result != wrDone) return result;
  PlayerRecord record;
  if (n < 0) return wrOutside;
  if (!FileReadAt(file, RecordOffset(n), &record, kPlayerRecordSize))
    return FileLastError() == 0 ? wrOutside : wrNotWritable;  // error 0: the end of the file
  target = record;
  return wrDone;
}

void LoadCurrentPlayer() {
  ReadRecordOrRunError(current_player, current_record);
  save_pending = false;  // whatever change was waiting has just been replaced
}

WriteResult MoveToPlayer(uint8_t n) {
  WriteResult result = ReadPlayerRecord(n, current_record);
  if (result != wrDone) return result;
  current_player = n;
  save_pending = false;
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
  OsFile file;
  WriteResult result = OpenWithRetry(file, player_path);
  if (result != wrDone) return result;
  int64_t length = FileLength(file);
  if (length < 0) return wrNotWritable;
  count = static_cast<int32_t>(std::min<int64_t>(length / kPlayerRecordSize, INT32_MAX));
  return wrDone;
}

int32_t PlayerCount() {
  int32_t count = 0;
  WriteResult result = CountPlayers(count);
  return result == wrDone || result == wrMissing ? count : kPlayerCountUnknown;
}

WriteResult WritePlayerRecord(const std::string& file_name, int32_t n, const PlayerRecord& record,
                              bool existing_only) {
  return WriteRecord(file_name, n, record, existing_only, nullptr);
}

WriteResult WriteCurrentPlayer(const std::function<void()>& before_write) {
  return WriteRecord(player_path, current_player, current_record, false, before_write);
}

void NoteCurrentPlayerSave(WriteResult result) {
  save_pending = result != wrWritten;
  if (save_pending) pending_cause = result;
}

bool SaveCurrentPlayer() {
  NoteCurrentPlayerSave(WriteCurrentPlayer());
  // Say why the change is only in memory instead of losing it without a word.
  if (save_pending) DoorPrintLn(SaveNotice());
  return !save_pending;
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
