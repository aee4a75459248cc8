// The editor's start in its fixed order, and ZORVAN32.CFG with its first-run prompt.
#include "editor/startup.h"

#include <algorithm>
#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "door/session.h"
#include "door/startup.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/main_screen.h"
#include "editor/npc_marriage.h"
#include "editor/player_file.h"
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/path_rules.h"

namespace {

constexpr size_t kGameDirMax = 80;
const char* const kConfigName = "ZORVAN32.CFG";

// The configuration file in the working directory, whatever the case of its name.
std::string ConfigPath() { return GameFilePath("", kConfigName); }

// The game directory as typed. 80 characters (what game_dir keeps) rather than the standard line's
// 20, which cannot hold most real paths; the field scrolls within the row.
std::string InputGamePath() {
  return DoorInputField(12, kGameDirMax, 72, 0, kStandardInputSet, "");
}

bool VarnExeOpens(const std::string& dir) {
  OsFile exe;
  bool opened = FileOpen(exe, GameFilePath(dir, "VARN.EXE"), faRead);
  FileClose(exe);
  return opened;
}

}  // namespace

void ConfigPrompt() {
  DoorPrintLn("");
  DoorPrintColourLn("  `%Enter the full path to VARN's Directory.");
  DoorPrintColour("    `%> ");
  std::string path = AddBackslash(InputGamePath());
  // Upper-casing would break a path on a case-sensitive file system.
  if (!PathsAreCaseSensitive()) path = UpperStr(path);
  path.resize(std::min(path.size(), kGameDirMax));
  if (!VarnExeOpens(path)) {
    DoorWriteLn("Invalid Varn Path! Halting...");
    Halt(0);
  }
  WriteTextLine(AddBackslash(path), kConfigName, true);
}

void LoadConfig() {
  if (!PathExists(ConfigPath())) ConfigPrompt();
  game_dir = ReadFirstLine(ConfigPath(), kGameDirMax);
  journal_path = JournalPath();  // beside the configuration
}

int EditorMain(int argc, char** argv) {
  // The libraries' own start values are their globals' initial values; the editor's start here.
  player_path = GamePath("PLAYER.DAT");
  DoorClearScreen();
  BacktickTranslation = true;
  debug_mode = false;
  std::string first = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  if (!first.empty() && first[0] == '-') DoorStartup(argc, argv);
  if (UpperStr(first) == "/DEBUG") debug_mode = true;
  current_player = 0;
  LoadConfig();
  LoadCurrentPlayer();
  ReadQuennaSpouse();
  ReadDaskSpouse();
  player_path = GamePath("PLAYER.DAT");
  MainLoop();
  ShowCredits();
  Halt(0);
}

int ZorvanMain(int argc, char** argv) {
  DoorSessionInit();  // first, so that its exit step still finds the screen open
  if (DoorWantsLocalConsole(argc, argv)) ConsoleOpen();  // -S: the terminal is the caller's
  return EditorMain(argc, argv);
}
