// PLAYER.DAT and TIME.DAT: every operation opens the file, does one record's work and closes it,
// because the game's own nodes use the same files.
#pragma once
#include <cstdint>
#include <string>

#include "editor/player_record.h"

// Record current_player into current_record; a failure ends the program through RunError.
void LoadCurrentPlayer();
// Record n into scratch_record; -1 does nothing.
void LoadScratchRecord(int32_t n);
// Whole records in PLAYER.DAT (sets player_path); 0 when missing or unopenable.
int32_t PlayerCount();
// Record n of file, exclusive open retried for up to 5 s; false when it never opened.
bool SavePlayerRecord(const std::string& file, int32_t n, PlayerRecord record);
// The retrying write under SavePlayerRecord, without its notice. existing_only: a record that is not
// already in the file is not written (the work-record save: a stale buffer must never become a new
// player), and the check is made under the same exclusive open as the write.
enum WriteResult : uint8_t { wrWritten, wrBusy, wrOutside };
WriteResult WritePlayerRecord(const std::string& file, int32_t n, const PlayerRecord& record,
                              bool existing_only = false);
// The save every editor makes after a change: current_record at current_player of player_path.
void SaveCurrentPlayer();
// Before another record is loaded over current_record: a change that never reached the file is
// saved once more; false when it still cannot be, and the editor stays on this player.
bool ReadyToLeaveCurrentPlayer();
// The line shown when a save gave up on a busy PLAYER.DAT (save_pending is then set and the main
// screen repeats the line under itself until a save succeeds or another player is loaded).
extern const char* const kSaveBusyNotice;
std::string LastOnText();
std::string GameDayText();
// game_dir + name, found case-insensitively where the platform's names are case-sensitive.
std::string GamePath(const std::string& name);
