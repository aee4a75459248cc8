#include "commands/commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "door/helpers.h"
#include "door/startup.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/startup.h"
#include "runtime/files.h"
#include "runtime/launch.h"
#include "runtime/std_stream.h"

namespace {

// A word runs through run, or, when it changes the game, through change: --dry-run is taken out
// for it, and exit 0 of a run that is not dry means a change was made (and journaled).
struct CommandWord {
  const char* word;
  int (*run)(const CommandArgs& args);
  int (*change)(const CommandArgs& args, bool dry_run);
  const char* usage;
  const char* help;
};

int RunHelp(const CommandArgs& args);
void PrintCommandList(FILE* to);

int (*serve_word)(const CommandArgs& args) = nullptr;

// The web console is a program of its own (zorvan32-serve, beside this one or in lib/zorvan32/ once
// installed), so that the door never loads the HTTP library: this process becomes it.
int RunServe(const CommandArgs& args) {
  if (serve_word != nullptr) return serve_word(args);
#ifdef ZORVAN_WEB
  const std::string dir = DirName(LaunchOwnPath());
  int error = 0;
  for (const char* place : {"zorvan32-serve", "../lib/zorvan32/zorvan32-serve"}) {
    std::vector<std::string> argv = {dir + place, "serve"};
    argv.insert(argv.end(), args.begin(), args.end());
    error = LaunchReplace(argv);
  }
  CommandError("serve needs zorvan32-serve beside zorvan32: " + OsErrorText(error));
#else
  CommandError("serve is not in the Windows build");
#endif
  return 2;
}

const CommandWord kCommandWords[] = {
    {"list", RunList, nullptr, "zorvan32 list [--alive|--dead|--deleted] [--json|--csv]",
     "One line per player (or only those alive, dead or deleted; several options add up): the\n"
     "record number, REAL NAME (the record's real_name, the editor's \"Real Name\"), NICKNAME\n"
     "(the record's name, the editor's \"Nickname\": the in-game name), level, gold in hand, gold\n"
     "in bank, experience, married to (a player's number and nickname, Quenna or Dask Able from\n"
     "MARRAGE.DAT/MARBARD.DAT, or nobody) and alive, dead or deleted (an empty slot, nickname X).\n"
     "--json: an array of objects: number, real_name, nickname, level, gold, bank, experience,\n"
     "married_to (a list of {\"player\", \"name\"} or {\"character\"}; empty: nobody), dead\n"
     "and deleted (true or false). --csv: a header line, then one row per player.\n"
     "Exit 0; 2 a file cannot be read."},
    {"show", RunShow, nullptr, "zorvan32 show N|NAME [--json]",
     "Every field of one player under the record's field names (name is the editor's Nickname,\n"
     "real_name its Real Name). N is a record number; NAME the player whose nickname it is, or\n"
     "else the one player whose nickname, or real name without colour codes, holds it in any\n"
     "case, as the editor's search does. Exit 0; 1 no such player; 2 NAME is held by several\n"
     "players (listed) or a file cannot be read."},
    {"check", RunCheck, nullptr, "zorvan32 check [--json]",
     "Reads the game and changes nothing. Finds, for each player, the rules the editor's\n"
     "statistics repair would apply (rule number and name, field, value now and after); spouse\n"
     "links beyond the file, at a deleted player or at someone not married back; a\n"
     "character married to a player who is also married to a player, to the other character,\n"
     "or of the wrong sex (Quenna marries male players, Dask Able female ones); a PLAYER.DAT\n"
     "that is not whole records or holds more than 256. Deleted players (nickname X) are not\n"
     "checked themselves. The last line counts the problems and the players they name.\n"
     "Exit 0 all well, 1 something found, 2 a file cannot be read\n"
     "(missing, busy past the 5-second wait, unreadable)."},
    {"export", RunExport, nullptr, "zorvan32 export",
     "The whole game as one JSON document: every player with every field, the characters'\n"
     "marriages and the day from TIME.DAT. Exit 0; 2 a file cannot be read."},
    {"set", nullptr, RunSet, "zorvan32 set N|NAME FIELD=VALUE ... [--dry-run]",
     "Changes fields of one player (N|NAME as for show) as the editor's field editors would:\n"
     "a number is clamped into its editor's range, and one that is not a whole number is\n"
     "refused; a flag takes the values its toggle gives (sex 0 male or 5 female, dead 0 or 5,\n"
     "skill_class 1-3, ...), and dead sets the hit points as the toggle does; a text is at most\n"
     "20 printable ASCII characters, real_name in capitals. married_to (the marriage editor\n"
     "moves the spouse and the characters' files too) and time_on (the game's own) are\n"
     "refused. One save under PLAYER.DAT's hold: the fields not named keep what a node wrote\n"
     "meanwhile. Journaled as \"set\". Prints each field's old and new value; a wait for a\n"
     "node's hold is said on stderr. --dry-run: the same lines, nothing written or journaled;\n"
     "exit 1 when nothing would change. Exit 0 done, 1 no such player, 2 a refused argument, a\n"
     "NAME several players hold, or PLAYER.DAT busy past the 5-second wait, missing or\n"
     "unwritable."},
    {"repair", nullptr, RunRepair, "zorvan32 repair N|NAME|all [--dry-run]",
     "The editor's statistics repair (the rules check reports) on one player (N|NAME as for\n"
     "show), or with all on every player that needs it but the deleted slots, as one operation\n"
     "under PLAYER.DAT's hold, journaled as \"repair\" and undone by undo. Prints each rule that\n"
     "fired: the field's value before and after, the rule's number and name. --dry-run: the\n"
     "same lines, nothing written or journaled. Exit 0 done, 1 nothing to repair or no such\n"
     "player, 2 as for set."},
    {"undo", nullptr, RunUndo, "zorvan32 undo [OPERATION] [--dry-run]",
     "Puts back the newest operation not yet undone (or the one numbered), field by field; a\n"
     "field changed since is left as it is and named, so is a record now holding another player,\n"
     "and a marriage comes back as a pair or not at all. An operation whose lines disagree with\n"
     "their bytes or would write what set refuses is refused. --dry-run: the same lines, nothing\n"
     "written or journaled. Exit 0 done, 1 nothing to undo, no such operation or nothing\n"
     "restorable, 2 refused, or a file busy or unreadable."},
    {"log", RunLog, nullptr,
     "zorvan32 log [--player N|NAME] [--op N] [--since YYYY-MM-DD] [--json]",
     "Prints the change journal (ZORVAN32.LOG) newest first, without the lines of exact bytes.\n"
     "--player: every line of each operation that touched the player (its marriage files and\n"
     "notices too), by record number or a piece of any nickname the player had, before or\n"
     "after a rename. --op: operation N's lines. --json: an array of objects under the\n"
     "journal's column names (time, node, who, op, operation, player, name, field, old, new).\n"
     "Exit 0; 1 no operation N; 2 the journal cannot be read."},
    {"serve", RunServe, nullptr, "zorvan32 serve [--listen ADDR:PORT]",
     "The web console: the players, check's problems and the journal in a browser, fields changed\n"
     "as set changes them (journaled with \"web\" as who) and operations undone as undo does.\n"
     "Listens on 127.0.0.1:8032 unless --listen names another address, and prints the page's\n"
     "address with its access token. Ends on Ctrl-C or SIGTERM (exit 0). Exit 2: a wrong\n"
     "argument, the address cannot be listened on or ZORVAN32.CFG is unusable."},
    {"help", RunHelp, nullptr, "zorvan32 help [COMMAND]", "The commands, or one command's help."},
};

const CommandWord* FindWord(const std::string& word) {
  for (const CommandWord& w : kCommandWords)
    if (word == w.word) return &w;
  return nullptr;
}

void PrintHelp(const CommandWord& w) { std::printf("usage: %s\n%s\n", w.usage, w.help); }

int RunHelp(const CommandArgs& args) {
  if (!args.empty()) {
    const CommandWord* w = FindWord(args[0]);
    if (w == nullptr) {
      CommandError("no such command: " + args[0]);
      return 2;
    }
    PrintHelp(*w);
    return 0;
  }
  PrintCommandList(stdout);
  std::printf("Each exits 2 when its output cannot be written (set and undo say their change\n"
              "stands) or a game file is not a plain file.\n");
  return 0;
}

void PrintCommandList(FILE* to) {
  std::fprintf(to, "Commands (run in the directory of ZORVAN32.CFG, or zorvan32 -C DIR COMMAND;\n"
                   "COMMAND --help for more):\n");
  for (const CommandWord& w : kCommandWords) std::fprintf(to, "  %s\n", w.usage);
}

// What a sysop types where a command word goes: the version, the usage, or a word that is none
// (which must not open the full-screen editor in a script).
int RunProgramWord(const std::string& first, const char* parameter0) {
  if (first == "--version") {
    std::printf("zorvan32 %s\n", ZORVAN_VERSION);
    return 0;
  }
  if (first == "--help" || first == "-h") {
    for (const std::string& line : DoorUsageLines(parameter0 != nullptr ? parameter0 : ""))
      std::printf("%s\n", line.c_str());
    std::printf("\n");
    return RunHelp({});
  }
  CommandError("unknown command: " + first);
  PrintCommandList(stderr);
  return 2;
}

// A change that waits for a node says so once, rather than seem to hang for the 5 seconds.
void ReportHeldWait(const std::string& path) {
  static bool told = false;
  if (told) return;
  told = true;
  CommandError("waiting for " + BaseName(path) +
               ", which another program holds (at most 5 seconds)");
}

// A listing cut short by a full disk or a reader gone is no success: exit 2, and a change already
// made is said to stand.
int OutputWritten(bool changes, int code) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return code;
  std::string text = "standard output could not be written";
  if (errno != 0) text += std::string(": ") + std::strerror(errno);
  CommandError(text + (changes && code == 0 ? "; the change was made" : ""));
  return 2;
}

bool IsCommandWord(const char* word) {
  if (word == nullptr || word[0] == '\0') return false;
  const std::string first = word;
  return FindWord(first) != nullptr || first == "--version" || first == "--help" || first == "-h" ||
         (first[0] != '-' && first[0] != '/');
}

}  // namespace

int CommandWordAt(int argc, char** argv) {
  if (argc > 1 && IsCommandWord(argv[1])) return 1;
  // -C and a directory before a word; any other -C stays the door's.
  if (argc > 3 && std::strcmp(argv[1], "-C") == 0 && IsCommandWord(argv[3])) return 3;
  return 0;
}

std::string CommandWordsLine() {
  // help is named at the end: the line stays within an 80-column screen.
  std::string line = " Commands:";
  for (const CommandWord& w : kCommandWords)
    if (w.run != RunHelp) line += std::string(" ") + w.word;
  return line + " (zorvan32 help)";
}

int RunCommandWord(int argc, char** argv) {
  // One write for a whole listing: a line at a time to a pipe costs a system call each (and a
  // wineserver round trip each under Wine).
  static char output_buffer[1 << 16];
  std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
  StdStreamsGuard();
  const int at = CommandWordAt(argc, argv);
  if (at == 3 && !SetWorkingDirectory(argv[2])) {
    CommandError(std::string("cannot enter ") + argv[2] + ": " + OsErrorText(FileLastError()));
    return 2;
  }
  const CommandWord* w = FindWord(argv[at]);
  if (w == nullptr) return OutputWritten(false, RunProgramWord(argv[at], argv[0]));
  const bool changes = w->change != nullptr;
  if (changes) editor_state.held_wait_report = ReportHeldWait;
  CommandArgs args(argv + at + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    PrintHelp(*w);
    return OutputWritten(false, 0);  // help changes nothing, whatever the word
  }
  if (!changes) return OutputWritten(false, w->run(args));
  // A dry run made no change to say stands.
  const bool dry_run = TakeOption(args, "--dry-run");
  return OutputWritten(!dry_run, w->change(args, dry_run));
}

CommandTranscript* command_transcript = nullptr;

void CommandError(const std::string& text) {
  if (command_transcript != nullptr)
    command_transcript->errors.push_back(text);
  else
    std::fprintf(stderr, "zorvan32: %s\n", text.c_str());
}

void CommandSay(const std::string& line) {
  if (command_transcript != nullptr)
    command_transcript->said.push_back(line);
  else
    std::printf("%s\n", line.c_str());
}

void SetServeWord(int (*run)(const CommandArgs& args)) { serve_word = run; }

bool TakeOption(CommandArgs& args, const char* option) {
  const auto end = std::remove(args.begin(), args.end(), option);
  const bool found = end != args.end();
  args.erase(end, args.end());
  return found;
}

bool ParseFormat(const CommandArgs& args, bool csv_allowed, OutputFormat& format,
                 std::vector<std::string>& rest) {
  format = ofLines;
  for (const std::string& arg : args) {
    if (arg == "--json" && format == ofLines)
      format = ofJson;
    else if (arg == "--csv" && csv_allowed && format == ofLines)
      format = ofCsv;
    else if (arg.rfind("--", 0) == 0)
      return false;
    else
      rest.push_back(arg);
  }
  return true;
}

bool CommandLoadGame() {
  if (!PathExists(GameFilePath("", "ZORVAN32.CFG"))) {
    CommandError("ZORVAN32.CFG is missing here: run zorvan32 once at the console to make it");
    return false;
  }
  editor_state.rollback_report = CommandError;
  if (!LoadConfig()) {
    CommandError("ZORVAN32.CFG does not hold a usable game directory");
    return false;
  }
  return true;
}
