// zorvan32 log: the change journal newest first, narrowed to a player, an operation or a start date.
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "door/helpers.h"
#include "editor/journal.h"

namespace {

struct LogFilter {
  std::string player;  // a record number, or a piece of a nickname
  std::string since;   // YYYY-MM-DD
  int32_t op = 0;      // 0: every operation
};

bool ParseLogArgs(const CommandArgs& args, LogFilter& filter) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return false;
    if (args[i] == "--player")
      filter.player = args[++i];
    else if (args[i] == "--since" && args[i + 1].size() == 10)
      filter.since = args[++i];
    else if (args[i] != "--op" || !StrToIntWhole(args[++i], filter.op) || filter.op < 1)
      return false;
  }
  return true;
}

// The players --player follows: record numbers, each with the nicknames its player had there (none
// listed: any). A rename links its two names, so a name found before or after it finds both sides
// of the player's history, and a slot reused by another player is not taken for the same one.
struct Followed {
  std::map<std::string, std::set<std::string>> names;
  bool any_name = false;

  bool Touches(const JournalLine& line) const {
    auto it = names.find(line.player);
    return it != names.end() && (any_name || it->second.count(line.name) != 0);
  }
};

bool FollowNames(const std::string& piece, Followed& followed) {
  std::vector<JournalLine> renames;
  const auto holds = [&piece](const std::string& name) {
    return UpperStr(name).find(UpperStr(piece)) != std::string::npos;
  };
  const bool read = VisitJournal(JournalPath(), [&](const JournalLine& line) {
    if (line.player == "-") return true;
    if (holds(line.name)) followed.names[line.player].insert(line.name);
    if (line.field != "name") return true;
    renames.push_back(line);
    if (holds(line.new_value)) followed.names[line.player].insert(line.new_value);
    return true;
  });
  for (bool grew = true; grew;) {
    grew = false;
    for (const JournalLine& rename : renames) {
      auto it = followed.names.find(rename.player);
      if (it == followed.names.end()) continue;
      std::set<std::string>& had = it->second;
      if (had.count(rename.old_value) == had.count(rename.new_value)) continue;
      had.insert(rename.old_value);
      had.insert(rename.new_value);
      grew = true;
    }
  }
  return read;
}

bool Follow(const LogFilter& filter, Followed& followed) {
  if (filter.player.empty()) return true;
  int32_t n = 0;
  if (!StrToIntWhole(filter.player, n)) return FollowNames(filter.player, followed);
  followed.names[filter.player];
  followed.any_name = true;
  return true;
}

bool Shown(const JournalLine& line, const LogFilter& filter) {
  // The exact bytes are for undo; the field lines say the same in words.
  if (line.field == "record" || line.field.find("-bytes") != std::string::npos) return false;
  return filter.since.empty() || line.time.compare(0, 10, filter.since) >= 0;
}

// A forged or damaged line may hold control bytes: none reaches the terminal.
void PrintLine(const JournalLine& l) {
  std::string line;
  for (const std::string& column : {l.time, l.node, l.who, std::to_string(l.op), l.operation,
                                    l.player, l.name, l.field, l.old_value, l.new_value})
    line += TerminalText(column) + "\t";
  line.back() = '\n';
  std::fputs(line.c_str(), stdout);
}

}  // namespace

// The columns as log prints them: a forged line's bytes that are no UTF-8 as \xNN.
Json LogJson(const JournalLine& l) {
  auto text = [](const std::string& column) { return TerminalText(column); };
  return {{"time", text(l.time)},   {"node", text(l.node)},
          {"who", text(l.who)},     {"op", l.op},
          {"operation", text(l.operation)}, {"player", text(l.player)},
          {"name", text(l.name)},   {"field", text(l.field)},
          {"old", text(l.old_value)}, {"new", text(l.new_value)}};
}

int LogLines(const CommandArgs& args, std::vector<JournalLine>& lines) {
  LogFilter filter;
  if (!ParseLogArgs(args, filter)) {
    CommandError("usage: zorvan32 log [--player N|NAME] [--op N] [--since YYYY-MM-DD] [--json]");
    return 2;
  }
  Followed followed;
  // Newest operation first, each operation's lines in their own order: the journal is read from
  // its end, so one operation's lines wait for the one before it to begin. With --player, every
  // line of an operation that touched the player: its marriage files and notices too.
  std::vector<JournalLine> shown;  // newest first
  int64_t op = 0;
  bool touched = filter.player.empty(), found = false;
  auto keep = [&] {
    if (touched) lines.insert(lines.end(), shown.rbegin(), shown.rend());
    shown.clear();
    touched = filter.player.empty();
  };
  bool read = Follow(filter, followed) && VisitJournal(JournalPath(), [&](const JournalLine& line) {
    // As undo does: below N lies a series an older version numbered afresh.
    if (filter.op > 0 && line.op < filter.op) return false;
    if (line.op != op) keep();
    op = line.op;
    if (filter.op > 0 && line.op != filter.op) return true;
    found = true;
    touched = touched || followed.Touches(line);
    if (Shown(line, filter)) shown.push_back(line);
    return true;
  });
  keep();
  if (!read) {
    CommandError(JournalPath() + " cannot be read");
    return 2;
  }
  if (filter.op > 0 && !found) {
    CommandError("there is no operation " + std::to_string(filter.op));
    return 1;
  }
  return 0;
}

int RunLog(const CommandArgs& given) {
  CommandArgs args = given;
  const bool json = TakeOption(args, "--json");
  std::vector<JournalLine> lines;
  const int status = LogLines(args, lines);
  if (!json) {
    for (const JournalLine& line : lines) PrintLine(line);
  } else if (status == 0) {
    Json document = Json::array();
    for (const JournalLine& line : lines) document.push_back(LogJson(line));
    PrintJson(document);
  }
  return status;
}
