// PLAYER.DAT and TIME.DAT: every operation opens the file, does one record's work and closes it,
// because the game's own nodes use the same files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "editor/file_result.h"
#include "editor/player_record.h"
#include "runtime/files.h"


// The exclusive open the game's nodes make, tried again after 1 ms while a node holds the file, for
// up to 5 s on the time of day; waiting cures nothing else. frDone, frBusy, frMissing or
// frFailed. The open mode is exclusive for this open only.
FileResult OpenWithRetry(OsFile& file, const std::string& path, FileAccess access = faReadWrite);
// A character's file or TIME.DAT is one short line: more than this is not a file the game wrote.
constexpr size_t kLineFileMax = 4096;
// Such a file's bytes, up to kLineFileMax, under OpenWithRetry's open: frDone, frMissing (not
// there, or deleted meanwhile), frBusy or frFailed.
FileResult ReadGameLineFile(const std::string& path, std::string& bytes);
// attempt, tried again the same way while it fails on a file held elsewhere.
FileResult RetryWhileHeld(const std::string& path, const std::function<bool()>& attempt);
// Told to editor_state.held_wait_report when such a wait begins.

// PLAYER.DAT held for one operation: while a hold lives, every read, count and write of PLAYER.DAT
// in this process goes through its open, so an operation's records are read and written with no
// node in between. Holds do not nest: a second Take while a hold lives is a bug of ours, not a busy
// file, and throws std::logic_error (the program stops; the next start puts back the first one's
// operation).
class PlayerFileHold {
 public:
  PlayerFileHold() = default;
  ~PlayerFileHold();
  PlayerFileHold(const PlayerFileHold&) = delete;
  PlayerFileHold& operator=(const PlayerFileHold&) = delete;
  FileResult Take();  // waits for a node as a save does
  bool Held() const { return file_.IsOpen(); }
  void Release();

 private:
  OsFile file_;
};

// Record current_player into current_record; a failure ends the program through RunError.
void LoadCurrentPlayer();
// Record n into scratch_record; -1 does nothing. A failure ends the program through RunError.
void LoadScratchRecord(int32_t n);
// Record n into target, which is left alone unless the whole record was read; the open waits for a
// node as a save does. frOutside: n is not in the file.
FileResult ReadPlayerRecord(int32_t n, PlayerRecord& target);
// Makes record n the current player (current_player, current_record, no change waiting), or leaves
// all three as they were and says why not.
FileResult MoveToPlayer(uint8_t n);
// Whole records in PLAYER.DAT into count, or why it cannot be read (count 0).
// A missing file is frMissing with a count of 0.
FileResult CountPlayers(int32_t& count);
// CountPlayers' count, 0 for a missing file, kPlayerCountUnknown when the file cannot be read.
constexpr int32_t kPlayerCountUnknown = -1;
int32_t PlayerCount();
// Writes record n of the file and says what happened; nothing else. The exclusive open is retried
// for up to 5 s only while a game node holds the file: waiting cures nothing else. existing_only: a
// record that is not already in the file is not written (a stale buffer must never become a new
// player); the check is made under the same exclusive open as the write.
FileResult WritePlayerRecord(const std::string& file, int32_t n, const PlayerRecord& record,
                              bool existing_only = false);
// The current player as this editor would have it now: record current_player as on disk, with
// every field this editor changed since it last read or wrote the player (current_as_read) on it.
FileResult ReadCurrentMerged(PlayerRecord& out);
// Takes a record just read or written as the current player's: shown, and what later saves merge
// against.
void SetCurrentPlayerRecord(const PlayerRecord& record);
// Takes an outcome of saving current_record as the current player's save: save_pending follows it.
// (The save itself is an operation's: SaveCurrentPlayer in editor/operation.h.)
void NoteCurrentPlayerSave(FileResult result);
// The line for the current player's failed save (save_pending), naming its cause; the main screen
// repeats it under itself until a save succeeds or another player is loaded.
std::string SaveNotice();
// The line for a move to another player that PLAYER.DAT did not allow.
std::string StayNotice(FileResult result);
// The cause alone, e.g. "PLAYER.DAT is busy!" (empty for frDone).
std::string FileProblemText(FileResult result);
std::string LastOnText();
std::string GameDayText();
// The first line of a text file (up to CR, LF or Ctrl-Z), at most max characters. The file is
// opened exclusively and read-only, waiting for a node that holds it; a file that cannot be read ends the program.
std::string ReadFirstLine(const std::string& path, size_t max);
// game_dir + name, found case-insensitively where the platform's names are case-sensitive.
std::string GamePath(const std::string& name);
