// The editor's globals: one copy each for the whole run, with a reset for tests.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "editor/file_result.h"
#include "editor/player_record.h"
#include "runtime/files.h"

extern const char* const version_text;       // "v0.67 Beta"
extern const char* const compile_date_text;  // "January 07, 2006."

// The shared bound of gold, bank gold and experience.
constexpr int32_t kTwoBillion = 2'000'000'000;

// The journal kept open between appends: where our last line ended and its operation number, so
// the next append need not read the tail when nobody else wrote meanwhile.
struct JournalHandle {
  OsFile file;
  std::string path;
  int64_t end = -1;
  int64_t last_op = 0;
};
// ZORVAN32.RBK: the operation holding PLAYER.DAT in this process, and the file, kept open between
// operations as the journal is: a file made and removed at every save costs more than the save.
struct RollbackHandle {
  std::string operation;
  OsFile file;
  std::string path;
  int64_t end = 0;          // where the operation's next line goes; 0: nothing noted yet
  bool recovering = false;  // a crashed operation is being put back: nothing more is noted
};

// Everything the editor keeps for the whole run, in one place so that one assignment starts it
// afresh.
struct EditorState {
  std::string game_dir;  // ends in the path separator, or empty for the working directory
  // The game's files as found (game_dir + name as asked -> the path found), so that a spelling
  // found by reading the directory (any case, on Linux) is not looked for again at every save.
  std::map<std::string, std::string> game_paths;
  uint8_t current_player = 0;  // a byte: only records 0-255 are reachable
  PlayerRecord current_record{};
  // current_record as last read from or written to PLAYER.DAT: a save writes only the fields that
  // differ from it, so what others wrote to the rest stays.
  PlayerRecord current_as_read{};
  PlayerRecord scratch_record{};
  bool debug_mode = false;
  std::string seen_label;
  // A save of the current player that failed; its change is only in memory.
  bool save_pending = false;
  // Why it is waiting (while save_pending).
  FileResult pending_cause = frBusy;
  // A line for the row under the main screen, shown by its next redraw only.
  std::string screen_notice;
  // Rows 23 and 24 hold a notice (or the warning of a refused Q) now.
  bool notice_on_screen = false;
  // The journal could not be written once already (and the sysop was told).
  bool journal_warned = false;
  // ZORVAN32.LOG beside ZORVAN32.CFG, set once the configuration is loaded; empty: no journal.
  std::string journal_path;
  JournalHandle journal_handle;
  RollbackHandle rollback_handle;

  // Work records 1-8 (index 0 unused): other players read for marriages and the main screen.
  PlayerRecord work_records[9]{};
  // The record number each work record was last read from (-1: none, or the read failed).
  int32_t work_loaded_from[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
  bool same_sex = false;
  int32_t quenna_spouse = 0;
  int32_t dask_spouse = 0;
  // PLAYER.DAT's open while an operation holds it (player_file.cpp).
  OsFile* held_player_file = nullptr;
  // Told the file's path when a wait for a held file begins (the command words say so on stderr;
  // the screens say it their own way).
  void (*held_wait_report)(const std::string& path) = nullptr;
  // How a put-back crashed operation is said: the notice under the main screen unless a command
  // word sets its own.
  void (*rollback_report)(const std::string& text) = nullptr;
};
extern EditorState editor_state;

// The editor back to its start (tests): editor_state = {}.
void EditorStateReset();
