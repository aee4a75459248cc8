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

extern std::string game_dir;     // ends in the path separator, or empty for the working directory
// The game's files as found (game_dir + name as asked -> the path found), so that a spelling found by
// reading the directory (any case, on Linux) is not looked for again at every save.
extern std::map<std::string, std::string> game_paths;
extern uint8_t current_player;   // a byte: only records 0-255 are reachable
extern PlayerRecord current_record;
// current_record as last read from or written to PLAYER.DAT: a save writes only the fields that
// differ from it, so what others wrote to the rest stays.
extern PlayerRecord current_as_read;
extern PlayerRecord scratch_record;
extern bool debug_mode;
extern std::string seen_label;
// A save of the current player that failed; its change is only in memory.
extern bool save_pending;
// Why it is waiting (while save_pending).
extern FileResult pending_cause;
// A line for the row under the main screen, shown by its next redraw only.
extern std::string screen_notice;
// Rows 23 and 24 hold a notice (or the warning of a refused Q) now.
extern bool notice_on_screen;
// The journal could not be written once already (and the sysop was told).
extern bool journal_warned;
// ZORVAN32.LOG beside ZORVAN32.CFG, set once the configuration is loaded; empty: no journal.
extern std::string journal_path;
// The journal kept open between appends: where our last line ended and its operation number, so
// the next append need not read the tail when nobody else wrote meanwhile.
struct JournalHandle {
  OsFile file;
  std::string path;
  int64_t end = -1;
  int64_t last_op = 0;
};
extern JournalHandle journal_handle;

// Work records 1-8 (index 0 unused): other players read for marriages and the main screen.
extern PlayerRecord work_records[9];
// The record number each work record was last read from (-1: none, or the read failed).
extern int32_t work_loaded_from[9];
extern bool same_sex;
extern int32_t quenna_spouse;
extern int32_t dask_spouse;

// Every editor global back to its start value (tests).
void EditorStateReset();
