// zorvan32 show: every field of one player; zorvan32 export: the whole game as one JSON document.
#include <string>
#include <vector>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "commands/game_view.h"
#include "door/helpers.h"

namespace {

// Raised when the document's shape changes in a way a reader must know of.
constexpr int kExportVersion = 1;

Json CharacterJson(const CharacterFile& file) {
  Json player = file.there ? Json(file.player) : Json(nullptr);
  Json object = {{"character", NpcName(file.character)},
                 {"file", NpcFileName(file.character)},
                 {"married_to", player}};
  if (file.there && !file.numeric) object["not_a_number"] = true;
  return object;
}

Json DayJson(const GameView& view) {
  int32_t day = 0;
  if (!view.has_day || !StrToIntWhole(view.day_line, day)) return nullptr;
  return day;
}

}  // namespace

int RunShow(const CommandArgs& args) {
  ViewCommand command;
  if (int status = StartViewCommand(args, false, 1, "usage: zorvan32 show N|NAME [--json]", command))
    return status;
  PlayerQuery query;
  const std::string& arg = command.operands[0];
  if (!ParsePlayerQuery(arg, query)) return 2;
  int32_t n = FindPlayer(command.view.players, query, arg);
  if (n < 0) return n == kSeveralPlayers ? 2 : 1;
  const PlayerRecord& record = command.view.At(n);
  if (command.format == ofJson) {
    PrintJson(RecordJson(record, n));
    return 0;
  }
  std::vector<std::vector<std::string>> rows{{"number", std::to_string(n)}};
  for (size_t i = 0; i < kRecordFieldCount; ++i)
    rows.push_back({kRecordFields[i].name, RecordFieldValue(record, kRecordFields[i])});
  PrintColumns(rows, {false, false});
  return 0;
}

int RunExport(const CommandArgs& args) {
  ViewCommand command;
  if (int status = StartViewCommand(args, false, 0, "usage: zorvan32 export", command)) return status;
  const GameView& view = command.view;
  Json players = Json::array();
  for (size_t n = 0; n < view.players.size(); ++n)
    players.push_back(RecordJson(view.players[n], static_cast<int32_t>(n)));
  Json characters = Json::array();
  for (const CharacterFile& file : view.characters) characters.push_back(CharacterJson(file));
  Json document = {
      {"format", "zorvan32-export"},
      {"version", kExportVersion},
      {"record_size", kPlayerRecordSize},
      {"player_file_bytes", view.file_bytes},
      {"day", DayJson(view)},
      {"day_text", view.has_day ? Json(JsonText(view.day_line)) : Json(nullptr)},
      {"players", players},
      {"characters", characters},
  };
  PrintJson(document);
  return 0;
}
