// zorvan32 repair: the editor's statistics repair (the rules check reports) on one player, or on
// every player that needs it, as one operation under the hold of PLAYER.DAT: journaled as "repair",
// undone by undo.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "commands/game_view.h"
#include "editor/operation.h"
#include "editor/repair.h"

namespace {

const char kUsage[] = "usage: zorvan32 repair N|NAME|all [--dry-run]";

// Record n repaired; a line for each rule that fired. Whether the record changed.
bool Repair(int32_t n, PlayerRecord& record, std::vector<std::string>& lines) {
  const PlayerRecord before = record;
  const std::vector<RepairFinding> fired = RepairRulesThatFire(record);
  if (fired.empty()) return false;
  ApplyRepairRules(record);
  lines.push_back("player " + std::to_string(n) + " " + ShownText(before.name.Get()) + ":");
  for (const RepairFinding& f : fired)
    lines.push_back("  " + std::string(f.field) + ": " + std::to_string(f.before) + " -> " +
                    std::to_string(f.after) + " (rule " + std::to_string(f.rule) + ", " +
                    f.name + ")");
  return std::memcmp(&before, &record, sizeof record) != 0;
}

// The players asked for: every one but the deleted slots (as check sees them), or the one named.
// Empty, with the cause on stderr, when the name finds none or several (exit in status).
std::vector<int32_t> Chosen(const std::vector<PlayerRecord>& players, const PlayerQuery* query,
                            const std::string& arg, int& status) {
  std::vector<int32_t> chosen;
  if (query == nullptr) {
    for (size_t n = 0; n < players.size(); ++n)
      if (!IsDeleted(players[n])) chosen.push_back(static_cast<int32_t>(n));
    return chosen;
  }
  const int32_t n = FindPlayer(players, *query, arg);
  if (n >= 0) chosen.push_back(n);
  status = n == kSeveralPlayers ? 2 : 1;
  return chosen;
}

}  // namespace

int RunRepair(const CommandArgs& args, bool dry_run) {
  if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
    CommandError(kUsage);
    return 2;
  }
  const bool all = args[0] == "all";
  PlayerQuery query;
  if ((!all && !ParsePlayerQuery(args[0], query)) || !CommandLoadGame()) return 2;

  GameOperation op(OperationKind::kRepair, dry_run);
  FileResult result = op.Begin();
  std::vector<PlayerRecord> players;
  if (result == frDone) result = ReadHeldPlayers(op, all || !query.number ? -1 : query.n, players);
  if (result != frDone) return NotDone(result);
  int status = 0;
  const std::vector<int32_t> chosen = Chosen(players, all ? nullptr : &query, args[0], status);
  if (chosen.empty() && !all) return status;
  std::vector<std::string> lines;
  bool changed = false;
  for (int32_t n : chosen) {
    PlayerRecord record = players[static_cast<size_t>(n)];
    if (!Repair(n, record, lines)) continue;
    changed = true;
    result = op.Write(n, record);
    if (result != frDone) return NotDone(result);
  }
  if (!changed) {
    std::printf("nothing to repair\n");
    return 1;
  }
  if (op.Commit(jrRequired) != frDone) return NotJournaled(op);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  return 0;
}
