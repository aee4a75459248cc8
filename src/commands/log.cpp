// zorvan32 log: the change journal newest first, narrowed to a player or a start date.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "door/helpers.h"
#include "editor/journal.h"

namespace {

struct LogFilter {
  std::string player;  // a record number, or a piece of the name
  std::string since;   // YYYY-MM-DD
};

bool ParseLogArgs(const CommandArgs& args, LogFilter& filter) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return false;
    if (args[i] == "--player")
      filter.player = args[++i];
    else if (args[i] == "--since" && args[i + 1].size() == 10)
      filter.since = args[++i];
    else
      return false;
  }
  return true;
}

bool Shown(const JournalLine& line, const LogFilter& filter) {
  // The exact bytes are for undo; the field lines say the same in words.
  if (line.field == "record" || line.field.find("-bytes") != std::string::npos) return false;
  if (!filter.since.empty() && line.time.compare(0, 10, filter.since) < 0) return false;
  if (filter.player.empty()) return true;
  int32_t n = 0;
  if (StrToIntWhole(filter.player, n)) return line.player == filter.player;
  return UpperStr(line.name).find(UpperStr(filter.player)) != std::string::npos;
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

int RunLog(const CommandArgs& args) {
  LogFilter filter;
  if (!ParseLogArgs(args, filter)) {
    CommandError("usage: zorvan32 log [--player N|NAME] [--since YYYY-MM-DD]");
    return 2;
  }
  // Newest operation first, each operation's lines in their own order: the journal is read from
  // its end, so one operation's lines wait for the one before it to begin.
  std::vector<JournalLine> shown;  // newest first
  int64_t op = 0;
  auto print = [&] {
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) PrintLine(*it);
    shown.clear();
  };
  bool read = VisitJournal(JournalPath(), [&](const JournalLine& line) {
    if (line.op != op) print();
    op = line.op;
    if (Shown(line, filter)) shown.push_back(line);
    return true;
  });
  print();
  if (!read) {
    CommandError(JournalPath() + " cannot be read");
    return 2;
  }
  return 0;
}
