#include "commands/commands.h"

#include <cstdio>
#include <cstring>

#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/player_file.h"
#include "editor/startup.h"
#include "runtime/files.h"

namespace {

struct CommandWord {
  const char* word;
  int (*run)(const CommandArgs& args);
  const char* usage;
  const char* help;
};

int RunHelp(const CommandArgs& args);

const CommandWord kCommandWords[] = {
    {"undo", RunUndo, "zorvan32 undo [OPERATION]",
     "Puts back the newest operation not yet undone (or the one numbered), field by field; a\n"
     "field changed since is left as it is and named. Exit 0 done, 1 nothing to undo or nothing\n"
     "restorable, 2 a file busy or unreadable."},
    {"log", RunLog, "zorvan32 log [--player N|NAME] [--since YYYY-MM-DD]",
     "Prints the change journal (ZORVAN32.LOG) newest first, without the lines of exact bytes."},
    {"help", RunHelp, "zorvan32 help [COMMAND]", "The commands, or one command's help."},
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
  std::printf("Commands (run in the directory of ZORVAN32.CFG; COMMAND --help for more):\n");
  for (const CommandWord& w : kCommandWords) std::printf("  %s\n", w.usage);
  return 0;
}

}  // namespace

bool IsCommandWord(const char* word) { return word != nullptr && FindWord(word) != nullptr; }

int RunCommandWord(int argc, char** argv) {
  const CommandWord* w = FindWord(argv[1]);
  CommandArgs args(argv + 2, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    PrintHelp(*w);
    return 0;
  }
  return w->run(args);
}

void CommandError(const std::string& text) {
  std::fprintf(stderr, "zorvan32: %s\n", text.c_str());
}

bool CommandLoadGame() {
  if (!PathExists(GameFilePath("", "ZORVAN32.CFG"))) {
    CommandError("ZORVAN32.CFG is missing here: run zorvan32 once at the console to make it");
    return false;
  }
  if (!LoadConfig()) {
    CommandError("ZORVAN32.CFG does not hold a usable game directory");
    return false;
  }
  player_path = GamePath("PLAYER.DAT");
  return true;
}
