#include "commands/game_view.h"

#include <string_view>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "door/helpers.h"
#include "door/output.h"
#include "editor/npc_marriage.h"
#include "editor/player_file.h"
#include "runtime/files.h"

namespace {

std::string FileName(int character) { return NpcFileName(character); }

// Why a game file could not be read, for the line on stderr.
std::string ReadProblem(const std::string& name, FileResult result, int os_error) {
  if (result == frBusy) return name + " is busy! A node held it past the 5-second wait.";
  if (result == frMissing) return name + " is missing! (" + GamePath(name) + ")";
  return name + " cannot be read: " + OsErrorText(os_error);
}

// A short text file read whole as the game's nodes open it (exclusively, waiting for a node).
// False, with the cause on stderr, when it is there and cannot be read; there is false for a file
// that is not there.
bool ReadLineFile(const std::string& name, bool& there, std::string& bytes) {
  FileResult read = ReadGameLineFile(GamePath(name), bytes);
  there = read != frMissing;
  if (read == frDone || read == frMissing) return true;
  CommandError(ReadProblem(name, read, FileLastError()));
  return false;
}

// Far beyond any game (the editor reaches 256): a file this long is not read into memory.
constexpr int64_t kMaxRecords = 65536;

// Every whole record; false, with the cause on stderr, when they cannot be read.
bool ReadPlayers(OsFile& file, GameView& view) {
  view.file_bytes = FileLength(file);
  const int64_t count = view.file_bytes / static_cast<int64_t>(kPlayerRecordSize);
  if (count > kMaxRecords) {
    CommandError("PLAYER.DAT holds " + std::to_string(count) + " records, more than " +
                 std::to_string(kMaxRecords) + ": not a game's player file");
    return false;
  }
  view.players.resize(static_cast<size_t>(count));  // 0 when the length cannot be had
  bool read = view.file_bytes >= 0 &&
              (count == 0 || FileReadAt(file, 0, view.players.data(),
                                        static_cast<size_t>(count) * kPlayerRecordSize));
  if (!read) CommandError(ReadProblem("PLAYER.DAT", frFailed, FileLastError()));
  return read;
}

}  // namespace

bool ReadGameView(GameView& view) {
  const std::string path = GamePath("PLAYER.DAT");
  if (!PathExists(path)) {
    CommandError(ReadProblem("PLAYER.DAT", frMissing, 0));
    return false;
  }
  // Held, read-only, until the marriage files are read too: an operation rewrites those while it
  // holds PLAYER.DAT, so both are seen as one operation left them.
  OsFile file;
  FileResult opened = OpenWithRetry(file, path, faRead);
  if (opened != frDone) {
    CommandError(ReadProblem("PLAYER.DAT", opened, FileLastError()));
    return false;
  }
  if (!ReadPlayers(file, view)) return false;
  for (CharacterFile& character : view.characters) {
    std::string bytes;
    if (!ReadLineFile(FileName(character.character), character.there, bytes)) return false;
    if (character.there) character.player = NpcFileNumber(bytes, &character.numeric);
  }
  std::string day;
  if (!ReadLineFile("TIME.DAT", view.has_day, day)) return false;
  view.day_line = day.substr(0, day.find_first_of("\r\n\x1a"));
  return true;
}

bool IsDeleted(const PlayerRecord& record) { return record.name.Get() == "X"; }

const CharacterFile& CharacterOf(const GameView& view, int character) {
  return view.characters[character == npcDask ? 1 : 0];
}

int StartViewCommand(const CommandArgs& args, bool csv_allowed, size_t operands, const char* usage,
                     ViewCommand& command) {
  if (!ParseFormat(args, csv_allowed, command.format, command.operands) ||
      command.operands.size() != operands) {
    CommandError(usage);
    return 2;
  }
  return CommandLoadGame() && ReadGameView(command.view) ? 0 : 2;
}

std::vector<Spouse> SpousesOf(const GameView& view, int32_t n) {
  std::vector<Spouse> spouses;
  if (view.At(n).married_to != -1) spouses.push_back({view.At(n).married_to, npcNone});
  // Dask before Quenna, as the main screen looks.
  for (int character : {npcDask, npcQuenna}) {
    const CharacterFile& file = CharacterOf(view, character);
    if (file.there && file.player == n) spouses.push_back({-1, character});
  }
  return spouses;
}

std::string SpouseText(const GameView& view, const Spouse& spouse) {
  if (spouse.character != npcNone) return NpcName(spouse.character);
  if (!view.Has(spouse.player)) return std::to_string(spouse.player) + " (no such player)";
  return std::to_string(spouse.player) + " " + view.At(spouse.player).name.Get();
}

std::string MarriedText(const GameView& view, int32_t n) {
  std::string text;
  for (const Spouse& spouse : SpousesOf(view, n))
    text += (text.empty() ? "" : " + ") + SpouseText(view, spouse);
  return text.empty() ? "nobody" : text;
}

bool PlayerNameMatches(const PlayerRecord& record, const std::string& wanted) {
  if (wanted.empty()) return false;
  if (UpperStr(record.name.Get()).find(wanted) != std::string::npos) return true;
  // The editor strips codes with its backtick translation on.
  std::string real = StripCodes(TranslateBackticks(record.real_name.Get()));
  return UpperStr(real).find(wanted) != std::string::npos;
}

bool ParsePlayerQuery(const std::string& arg, PlayerQuery& query) {
  query.number = !arg.empty() && arg.find_first_not_of("0123456789") == std::string::npos;
  if (query.number) {
    query.n = arg.size() > 9 ? INT32_MAX : static_cast<int32_t>(std::stol(arg));
    return true;
  }
  std::string cp437;
  if (!Cp437FromUtf8(arg, cp437)) {
    CommandError("no player can be named \"" + arg + "\": the game's names are CP437");
    return false;
  }
  query.wanted = UpperStr(cp437);
  return true;
}

int32_t FindPlayer(const std::vector<PlayerRecord>& players, const PlayerQuery& query,
                   const std::string& arg) {
  if (query.number) {
    if (static_cast<size_t>(query.n) < players.size()) return query.n;
    CommandError("no player " + arg + ": PLAYER.DAT holds " + std::to_string(players.size()));
    return kNoSuchPlayer;
  }
  // A whole nickname names its player even where it is a piece of other names.
  std::vector<int32_t> whole, holding;
  for (size_t n = 0; n < players.size(); ++n) {
    if (UpperStr(players[n].name.Get()) == query.wanted) whole.push_back(static_cast<int32_t>(n));
    if (PlayerNameMatches(players[n], query.wanted)) holding.push_back(static_cast<int32_t>(n));
  }
  if (whole.size() == 1) return whole[0];
  if (holding.size() == 1) return holding[0];
  if (holding.empty()) {
    CommandError("no player's name holds \"" + arg + "\"");
    return kNoSuchPlayer;
  }
  std::string list;
  for (int32_t n : holding)
    list += (list.empty() ? "" : ", ") + std::to_string(n) + " " + ShownText(players[n].name.Get());
  CommandError("\"" + arg + "\" names several players (" + list +
               "): give the record number or the whole nickname");
  return kSeveralPlayers;
}
