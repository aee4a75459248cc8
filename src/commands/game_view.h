// What the commands that only read see of the game: every record of PLAYER.DAT, the characters'
// marriage files and the day of TIME.DAT, all read under one exclusive read-only open of
// PLAYER.DAT (the hold an operation takes to rewrite a marriage file), so no node or editor writes
// in between. The spouse rules and the name match that list, show, check and set share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "editor/file_result.h"
#include "editor/npc_marriage.h"
#include "editor/player_record.h"

// A character's marriage file as the game reads it.
struct CharacterFile {
  int character;
  bool there = false;    // no file: the character is unmarried
  bool numeric = true;   // the first token is a number (otherwise the game reads it as 0)
  int32_t player = -1;   // the number the game reads from it
};

struct GameView {
  int64_t file_bytes = 0;  // PLAYER.DAT's length, a partial record at the end included
  std::vector<PlayerRecord> players;
  CharacterFile characters[2] = {{npcQuenna}, {npcDask}};
  bool has_day = false;  // TIME.DAT is there
  std::string day_line;  // its first line

  bool Has(int32_t n) const { return n >= 0 && static_cast<size_t>(n) < players.size(); }
  const PlayerRecord& At(int32_t n) const { return players[static_cast<size_t>(n)]; }
};

// False, with the cause on stderr, when a file cannot be read (missing PLAYER.DAT, a node holding a
// file past the usual wait, an OS error).
bool ReadGameView(GameView& view);

// The opening the commands that only read share: their options (--json, --csv where allowed, and
// exactly `operands` others), then the game directory and the view of the game.
struct ViewCommand {
  OutputFormat format = ofLines;
  std::vector<std::string> operands;
  GameView view;
};
// 0 when the command goes on; otherwise its exit code, with the usage or the cause on stderr.
int StartViewCommand(const CommandArgs& args, bool csv_allowed, size_t operands, const char* usage,
                     ViewCommand& command);

// The editor deletes a player by naming them "X"; the slot keeps its place.
bool IsDeleted(const PlayerRecord& record);

// One of a player's spouses: another player (the record's married_to) or a character whose file
// names the player. A player married twice over has two.
struct Spouse {
  int32_t player = -1;
  int character = npcNone;
};
std::vector<Spouse> SpousesOf(const GameView& view, int32_t n);
// "1 Sellith", "Quenna", "250 (no such player)" (CP437).
std::string SpouseText(const GameView& view, const Spouse& spouse);
// Every spouse of player n joined by " + ", or "nobody".
std::string MarriedText(const GameView& view, int32_t n);
const CharacterFile& CharacterOf(const GameView& view, int character);

// The editor's player search: the in-game name as stored, codes and all, or the real name on its
// visible letters, holding wanted (upper case, CP437).
bool PlayerNameMatches(const PlayerRecord& record, const std::string& wanted);
// A command's N|NAME: a record number, the one player whose nickname is NAME, or the one player
// whose names hold NAME (UTF-8, any case); a NAME several players' names hold names none of them.
// number: whether the argument is a number (then the caller checks the range).
struct PlayerQuery {
  bool number = false;
  int32_t n = -1;
  std::string wanted;  // NAME upper-cased in CP437
};
// False, with the cause on stderr, for a NAME that CP437 cannot hold.
bool ParsePlayerQuery(const std::string& arg, PlayerQuery& query);
// The record the query names among players; or kNoSuchPlayer (exit 1), or kSeveralPlayers (exit 2,
// listing them), with the cause on stderr.
constexpr int32_t kNoSuchPlayer = -1, kSeveralPlayers = -2;
int32_t FindPlayer(const std::vector<PlayerRecord>& players, const PlayerQuery& query,
                   const std::string& arg);

// The words that change the game (set.cpp). Every record (only: just that one, the rest left
// zero) read under the operation's hold.
class GameOperation;
FileResult ReadHeldPlayers(GameOperation& op, int32_t only, std::vector<PlayerRecord>& players);
// The record the query names, read under the hold; kNoSuchPlayer or kSeveralPlayers when there is
// none, -3 when a read failed (result says why).
int32_t FindHeld(GameOperation& op, const PlayerQuery& query, const std::string& arg,
                 PlayerRecord& record, FileResult& result);
// Exit 2 with the cause on stderr: a file that could not be held, read or written; or the journal
// could not take the change (a change that could not be undone either, so it was put back).
int NotDone(FileResult result);
int NotJournaled(const GameOperation& op);
