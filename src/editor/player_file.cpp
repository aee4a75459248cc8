#include "editor/player_file.h"

#include <algorithm>

#include "door/helpers.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "runtime/clock.h"
#include "runtime/files.h"
#include "runtime/halt.h"

const char* const kSaveBusyNotice =
    "  `@PLAYER.DAT is busy!  `%The change is kept in memory until the next save.";

namespace {

// How long an exclusive open keeps retrying while a game node holds the file.
constexpr int32_t kRetryMs = 5000;

int64_t RecordOffset(int32_t n) { return static_cast<int64_t>(n) * kPlayerRecordSize; }

// The exclusive open, tried again after 1 ms until it works or 5 s have passed on the time of day.
// A save retries whatever the failure; a read only while a game node holds the file, since a
// missing or unreadable file will not get better.
bool OpenWithRetry(OsFile& file, const std::string& path, bool only_while_held) {
  SetFileOpenMode(fmExclusive);
  int32_t start = MsOfDay();
  for (;;) {
    bool opened = FileOpen(file, path, faReadWrite);
    int error = FileLastError();
    SleepMs(1);
    if (opened) return true;
    if (only_while_held && !FileErrorIsSharingConflict(error)) return false;
    if (MsElapsed(start, MsOfDay()) > kRetryMs) return false;
  }
}

// Exclusive open of a file that must open; anything else is the runtime's I/O error. A node holding
// the file for a moment is waited for, as a save does, rather than ending the editor.
OsFile OpenOrRunError(const std::string& path) {
  OsFile file;
  if (!OpenWithRetry(file, path, true)) RunError(path, FileLastError());
  return file;
}

// Record n of PLAYER.DAT, or the program ends. The target is untouched until the whole record is in.
void ReadRecordOrRunError(int32_t n, PlayerRecord& target) {
  std::string path = GamePath("PLAYER.DAT");
  OsFile file = OpenOrRunError(path);
  PlayerRecord record;
  if (n < 0) RunError(path, 0);
  if (!FileReadAt(file, RecordOffset(n), &record, kPlayerRecordSize)) RunError(path, FileLastError());
  FileClose(file);
  target = record;
}

// Writes at record n, which may be at most the record just past the end (a seek further is an error),
// or, existing_only, must already be in the file.
WriteResult WriteRecordOrRunError(OsFile& file, const std::string& path, int32_t n,
                                  const PlayerRecord& record, bool existing_only) {
  int64_t length = FileLength(file);
  if (length < 0) RunError(path, FileLastError());
  if (existing_only && (n < 0 || RecordOffset(n) + static_cast<int64_t>(kPlayerRecordSize) > length)) return wrOutside;
  if (n < 0 || RecordOffset(n) > length) RunError(path, 0);
  if (!FileWriteAt(file, RecordOffset(n), &record, kPlayerRecordSize))
    RunError(path, FileLastError());
  FileClose(file);
  return wrWritten;
}

// Text up to the first line end (or the text files' end-of-file mark), at most max characters.
std::string FirstLine(const std::string& bytes, size_t max) {
  size_t end = bytes.find_first_of("\r\n\x1a");
  if (end == std::string::npos) end = bytes.size();
  return bytes.substr(0, std::min(end, max));
}

}  // namespace

std::string GamePath(const std::string& name) { return GameFilePath(game_dir, name); }

void LoadCurrentPlayer() {
  ReadRecordOrRunError(current_player, current_record);
  save_pending = false;  // whatever change was waiting has just been replaced
}

void LoadScratchRecord(int32_t n) {
  if (n == -1) return;
  ReadRecordOrRunError(n, scratch_record);
}

int32_t PlayerCount() {
  player_path = GamePath("PLAYER.DAT");
  if (!PathExists(player_path)) return 0;
  OsFile file;
  // A file that exists but will not open (held by a node past the wait, a directory, no
  // permission) counts as empty rather than ending the program.
  if (!OpenWithRetry(file, player_path, true)) return 0;
  int64_t length = FileLength(file);
  FileClose(file);
  if (length < 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(length / kPlayerRecordSize, INT32_MAX));
}

WriteResult WritePlayerRecord(const std::string& file_name, int32_t n, const PlayerRecord& record,
                              bool existing_only) {
  OsFile file;
  WriteResult result = wrBusy;
  if (OpenWithRetry(file, file_name, false))
    result = WriteRecordOrRunError(file, file_name, n, record, existing_only);
  SetFileOpenMode(fmShared);
  return result;
}

bool SavePlayerRecord(const std::string& file_name, int32_t n, PlayerRecord record) {
  bool opened = WritePlayerRecord(file_name, n, record) == wrWritten;
  save_pending = !opened;
  // The retry gave up: say so instead of losing the change without a word.
  if (!opened) DoorPrintLn(kSaveBusyNotice);
  return opened;
}

void SaveCurrentPlayer() { SavePlayerRecord(player_path, current_player, current_record); }

bool ReadyToLeaveCurrentPlayer() {
  if (save_pending) SaveCurrentPlayer();
  return !save_pending;
}

std::string LastOnText() { return "`!" + IntToStr(current_record.time_on); }

std::string GameDayText() {
  std::string path = GamePath("TIME.DAT");
  if (!PathExists(path)) return "`! Unknown!";
  OsFile file = OpenOrRunError(path);
  // Only the first two characters are shown; a little more is read to find the line's end.
  int64_t length = FileLength(file);
  if (length < 0) RunError(path, FileLastError());
  std::string bytes(static_cast<size_t>(std::min<int64_t>(length, 16)), '\0');
  if (!bytes.empty() && !FileReadAt(file, 0, bytes.data(), bytes.size()))
    RunError(path, FileLastError());
  FileClose(file);
  return "`!" + FirstLine(bytes, 2);
}
