// zorvan32 list: one line per player, in aligned columns, as a JSON array or as CSV.
#include <iterator>
#include <string>
#include <vector>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "commands/game_view.h"

namespace {

constexpr uint8_t kDeadYes = 5;  // the game's yes

// A slot's status, the option that keeps only its kind, and its word in the STATUS column.
enum Status : uint8_t { stAlive, stDead, stDeleted };
const char* const kStatusOptions[] = {"--alive", "--dead", "--deleted"};
const char* const kStatusWords[] = {"alive", "dead", "deleted"};

Status StatusOf(const PlayerRecord& r) {
  return IsDeleted(r) ? stDeleted : r.dead == kDeadYes ? stDead : stAlive;
}

// The columns, in order: the header, whether it holds a number.
struct ListColumn {
  const char* header;
  const char* csv_header;
  bool number;
};
const ListColumn kListColumns[] = {
    {"#", "number", true},          {"REAL NAME", "real_name", false},
    {"NICKNAME", "nickname", false}, {"LEVEL", "level", true},
    {"GOLD", "gold", true},          {"BANK", "bank", true},
    {"EXPERIENCE", "experience", true}, {"MARRIED TO", "married_to", false},
    {"STATUS", "status", false},
};

std::vector<std::string> Cells(const GameView& view, int32_t n) {
  const PlayerRecord& r = view.At(n);
  return {std::to_string(n),       r.real_name.Get(),        r.name.Get(),
          std::to_string(r.level), std::to_string(r.gold),   std::to_string(r.bank),
          std::to_string(r.experience), MarriedText(view, n), kStatusWords[StatusOf(r)]};
}

Json SpousesJson(const GameView& view, int32_t n) {
  Json spouses = Json::array();
  for (const Spouse& spouse : SpousesOf(view, n)) {
    if (spouse.character != npcNone) {
      spouses.push_back({{"character", NpcName(spouse.character)}});
      continue;
    }
    Json name = view.Has(spouse.player) ? Json(JsonText(view.At(spouse.player).name.Get()))
                                        : Json(nullptr);
    spouses.push_back({{"player", spouse.player}, {"name", name}});
  }
  return spouses;
}

}  // namespace

Json ListJson(const GameView& view, int32_t n) {
  const PlayerRecord& r = view.At(n);
  return {{"number", n},
          {"real_name", JsonText(r.real_name.Get())},
          {"nickname", JsonText(r.name.Get())},
          // Copies: a packed field cannot be bound by reference.
          {"level", int32_t{r.level}},
          {"gold", int32_t{r.gold}},
          {"bank", int32_t{r.bank}},
          {"experience", int32_t{r.experience}},
          {"married_to", SpousesJson(view, n)},
          {"dead", r.dead == kDeadYes},
          {"deleted", IsDeleted(r)}};
}

int RunList(const CommandArgs& given) {
  CommandArgs args = given;
  // The kinds of slot asked for; none asked for is every one.
  bool wanted[std::size(kStatusOptions)] = {};
  bool any = false;
  for (size_t s = 0; s < std::size(kStatusOptions); ++s) {
    wanted[s] = TakeOption(args, kStatusOptions[s]);
    any = any || wanted[s];
  }
  ViewCommand command;
  if (int status = StartViewCommand(
          args, true, 0, "usage: zorvan32 list [--alive|--dead|--deleted] [--json|--csv]", command))
    return status;
  const GameView& view = command.view;
  const OutputFormat format = command.format;
  std::vector<int32_t> shown;
  for (size_t n = 0; n < view.players.size(); ++n)
    if (!any || wanted[StatusOf(view.players[n])]) shown.push_back(static_cast<int32_t>(n));
  if (format == ofJson) {
    Json players = Json::array();
    for (int32_t n : shown) players.push_back(ListJson(view, n));
    PrintJson(players);
    return 0;
  }
  std::vector<std::string> header;
  std::vector<bool> numbers;
  for (const ListColumn& column : kListColumns) {
    header.push_back(format == ofCsv ? column.csv_header : column.header);
    numbers.push_back(column.number);
  }
  if (format == ofCsv) {
    PrintCsvRow(header);
    for (int32_t n : shown) PrintCsvRow(Cells(view, n));
    return 0;
  }
  std::vector<std::vector<std::string>> rows{header};
  for (int32_t n : shown) rows.push_back(Cells(view, n));
  PrintColumns(rows, numbers);
  return 0;
}
