// zorvan32 check: the game's health for cron, read only. Each problem is one line (or one JSON
// object) naming its kind; the exit code says whether any was found.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "commands/game_view.h"
#include "editor/repair.h"

namespace {

// current_player is a byte: the editor reaches no record past this many.
constexpr size_t kReachablePlayers = 256;
constexpr uint8_t kFemale = 5;  // any other value is shown as male

struct Finding {
  const char* kind;
  std::string text;  // CP437
  Json detail;       // the kind's own values
};
using Findings = std::vector<Finding>;

std::string Who(const GameView& view, int32_t n) {
  return std::to_string(n) + " " + view.At(n).name.Get();
}

void FileFindings(const GameView& view, Findings& out) {
  int64_t spare = view.file_bytes % static_cast<int64_t>(kPlayerRecordSize);
  if (spare != 0)
    out.push_back({"player-file-partial-record",
                   "PLAYER.DAT: " + std::to_string(view.file_bytes) +
                       " bytes, not a whole number of " + std::to_string(kPlayerRecordSize) +
                       "-byte records (" + std::to_string(spare) + " bytes over)",
                   {{"bytes", view.file_bytes}, {"bytes_over", spare}}});
  if (view.players.size() > kReachablePlayers)
    out.push_back({"player-file-too-many",
                   "PLAYER.DAT: " + std::to_string(view.players.size()) +
                       " players, more than the " + std::to_string(kReachablePlayers) +
                       " the game and the editor reach",
                   {{"players", view.players.size()}}});
}

void RepairFindings(const GameView& view, int32_t n, Findings& out) {
  for (const RepairFinding& f : RepairRulesThatFire(view.At(n)))
    out.push_back({"repair",
                   "player " + Who(view, n) + ": repair rule " + std::to_string(f.rule) + " (" +
                       f.name + "): " + f.field + " " + std::to_string(f.before) + " -> " +
                       std::to_string(f.after),
                   {{"player", n},
                    {"rule", f.rule},
                    {"rule_name", f.name},
                    {"field", f.field},
                    {"before", f.before},
                    {"after", f.after}}});
}

void SpouseFindings(const GameView& view, int32_t n, Findings& out) {
  const int32_t spouse = view.At(n).married_to;
  if (spouse == -1) return;
  const std::string head = "player " + Who(view, n) + ": married_to " + std::to_string(spouse);
  Json detail = {{"player", n}, {"married_to", spouse}};
  if (!view.Has(spouse)) {
    out.push_back({"spouse-outside", head + " is beyond the end of PLAYER.DAT (" +
                                         std::to_string(view.players.size()) + " players)",
                   detail});
  } else if (spouse == n) {
    out.push_back({"spouse-self", head + " is the player themselves", detail});
  } else if (IsDeleted(view.At(spouse))) {
    out.push_back({"spouse-deleted", head + " is an empty slot (a deleted player)", detail});
  } else if (view.At(spouse).married_to != n) {
    detail["spouse_married_to"] = int32_t{view.At(spouse).married_to};
    out.push_back({"spouse-not-mutual",
                   head + " " + view.At(spouse).name.Get() + ", who is married to " +
                       MarriedText(view, spouse),
                   detail});
  }
}

bool IsFemale(const PlayerRecord& record) { return record.sex == kFemale; }

void CharacterFindings(const GameView& view, Findings& out) {
  for (const CharacterFile& file : view.characters) {
    if (!file.there) continue;
    const std::string head = std::string(NpcFileName(file.character)) + ": " +
                             NpcName(file.character) + " is married to ";
    const int32_t n = file.player;
    Json detail = {{"character", NpcName(file.character)}, {"player", n}};
    if (!file.numeric)
      out.push_back({"character-not-a-number",
                     std::string(NpcFileName(file.character)) +
                         ": holds no number; the game reads it as player 0",
                     detail});
    if (!view.Has(n)) {
      out.push_back({"character-outside", head + "player " + std::to_string(n) +
                                              ", beyond the end of PLAYER.DAT",
                     detail});
      continue;
    }
    if (IsDeleted(view.At(n))) {
      out.push_back({"character-deleted", head + "player " + std::to_string(n) +
                                              ", an empty slot (a deleted player)",
                     detail});
      continue;
    }
    bool wants_female = file.character == npcDask;
    if (IsFemale(view.At(n)) != wants_female)
      out.push_back({"character-wrong-sex",
                     head + Who(view, n) + ", a " + (wants_female ? "male" : "female") +
                         " player (" + NpcName(file.character) + " marries " +
                         (wants_female ? "female" : "male") + " players)",
                     detail});
    if (view.At(n).married_to != -1) {
      detail["married_to"] = int32_t{view.At(n).married_to};
      out.push_back({"character-and-player",
                     head + Who(view, n) + ", who is also married to player " +
                         std::to_string(view.At(n).married_to),
                     detail});
    }
  }
  const CharacterFile& quenna = CharacterOf(view, npcQuenna);
  const CharacterFile& dask = CharacterOf(view, npcDask);
  if (quenna.there && dask.there && quenna.player == dask.player && view.Has(quenna.player))
    out.push_back({"both-characters",
                   "MARRAGE.DAT, MARBARD.DAT: player " + Who(view, quenna.player) +
                       " is married to both Quenna and Dask Able",
                   {{"player", quenna.player}}});
}

Findings AllFindings(const GameView& view) {
  Findings findings;
  FileFindings(view, findings);
  for (size_t i = 0; i < view.players.size(); ++i) {
    const auto n = static_cast<int32_t>(i);
    // A deleted slot is no player: only links to it count.
    if (IsDeleted(view.At(n))) continue;
    RepairFindings(view, n, findings);
    SpouseFindings(view, n, findings);
  }
  CharacterFindings(view, findings);
  return findings;
}

// The players of the file that the problems name, each counted once.
size_t PlayersNamed(const GameView& view, const Findings& findings) {
  std::set<int32_t> named;
  for (const Finding& f : findings) {
    const auto player = f.detail.find("player");
    if (player == f.detail.end() || !player->is_number_integer()) continue;
    const auto n = player->get<int32_t>();
    if (view.Has(n)) named.insert(n);
  }
  return named.size();
}

}  // namespace

Json CheckJson(const GameView& view) {
  const Findings findings = AllFindings(view);
  Json problems = Json::array();
  for (const Finding& f : findings) {
    Json problem = {{"kind", f.kind}, {"text", ShownText(f.text)}};
    problem.update(f.detail);
    problems.push_back(problem);
  }
  return {{"status", findings.empty() ? 0 : 1},
          {"players", view.players.size()},
          {"players_with_problems", PlayersNamed(view, findings)},
          {"problems", problems}};
}

int RunCheck(const CommandArgs& args) {
  ViewCommand command;
  if (int status = StartViewCommand(args, false, 0, "usage: zorvan32 check [--json]", command))
    return status;
  const GameView& view = command.view;
  if (command.format == ofJson) {
    const Json document = CheckJson(view);
    PrintJson(document);
    return document["status"].get<int>();
  }
  Findings findings = AllFindings(view);
  const int status = findings.empty() ? 0 : 1;
  const size_t troubled = PlayersNamed(view, findings);
  for (const Finding& f : findings) std::printf("%s\n", ShownText(f.text).c_str());
  const std::string players = std::to_string(view.players.size()) + " players";
  if (findings.empty())
    std::printf("all well: %s\n", players.c_str());
  else
    std::printf("%s problems in %s of %s\n", std::to_string(findings.size()).c_str(),
                std::to_string(troubled).c_str(), players.c_str());
  return status;
}
