// The editor's start in its fixed order, and ZORVAN32.CFG with its first-run prompt.
#include "editor/startup.h"

#include <algorithm>
#include <string>
#include <utility>

#include "door/helpers.h"
#include "door/input.h"
#include "door/library.h"
#include "door/output.h"
#include "door/periodic.h"
#include "door/session.h"
#include "door/startup.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/main_screen.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/prompts.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/path_rules.h"
#include "runtime/signals.h"
#include "runtime/waiter.h"

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

// "" when VARN.EXE opens in dir, else what is missing where, for the line under the halt.
std::string VarnExeProblem(const std::string& dir) {
  const std::string exe_path = GameFilePath(dir, "VARN.EXE");
  OsFile exe;
  if (FileOpen(exe, exe_path, faRead)) return "";
  const int error = FileLastError();
  const std::string where = dir.empty() ? "the current directory" : dir;
  if (!dir.empty() && !PathIsDirectory(dir)) return "There is no directory " + where;
  if (!PathExists(exe_path)) return "There is no VARN.EXE in " + where;
  return exe_path + " cannot be opened: " + OsErrorText(error);
}

// No directory name holds a control character. A NUL would even end the path early in every
// system call, so that each game file's name became whatever stood before it (PLAYER.DAT, say).
bool UsableGamePath(const std::string& path) {
  return std::none_of(path.begin(), path.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

[[noreturn]] void HaltOnInvalidPath(const std::string& reason = "") {
  DoorWriteLn("Invalid Varn Path! Halting...");
  DoorLogFailure("Invalid Varn Path! Halting...");
  if (!reason.empty()) {
    DoorWriteLn(reason);
    DoorLogFailure(reason);
  }
  Halt(0);
}

// The first-run prompt decides which directory's files the editor changes: never a door's caller's
// to answer. The sysop makes ZORVAN32.CFG at the console; the door says so and ends.
[[noreturn]] void HaltOnMissingConfigInDoor() {
  DoorPrintLn("");
  DoorPrintColourLn("  `@ZORVAN32.CFG is missing.");
  DoorPrintColourLn("  `%The sysop makes it by running the program once at the console.");
  DoorLogFailure(
      "ZORVAN32.CFG is missing in the directory the door was started in; it must be made by "
      "running the program once at the console there (a door never asks its caller for the game "
      "directory)");
  DoorEndAfterPause();
}

// A ZORVAN32.CFG naming a directory that is not there: the report of the first game file that
// cannot be opened also says where to mend it, with the system's own words for what is wrong.
void EndIfNoGameDirectory() {
  if (editor_state.game_dir.empty() || PathIsDirectory(editor_state.game_dir)) return;
  const std::string player_file = GamePath("PLAYER.DAT");
  OsFile probe;
  if (FileOpen(probe, player_file, faRead)) return;  // it is there after all
  RunError(player_file + " (no such game directory: mend or delete ZORVAN32.CFG)", FileLastError());
}

constexpr int32_t kBusyLookMs = 1000;  // between looks at a held PLAYER.DAT
constexpr uint32_t kKeyPollMs = 50;    // a caller's key is seen this soon

// One try of the exclusive open that a record read makes: whether a game node holds PLAYER.DAT now.
// The read itself waits 5 s with no key looked at, so it is made again only once the file is free.
bool PlayerFileHeld() {
  OpenModeScope exclusive(fmExclusive);
  OsFile file;
  return !FileOpen(file, GamePath("PLAYER.DAT"), faReadWrite) &&
         FileErrorIsSharingConflict(FileLastError());
}

// Whether Esc or Q came within about ms. The keys come through the door library's check, so a door
// still ends at the caller's time limit or hang-up meanwhile.
bool GiveUpWithin(int32_t ms) {
  const int32_t start = MsOfDay();
  do {
    while (DoorKeyPressed()) {
      const char key = UpperChar(DoorReadKey());
      if (!DoorLastKeyExtended() && (key == kKeyEscape || key == 'Q')) return true;
    }
    // The plain editor's terminal went away: there is no one left to wait for the file.
    if (HangupSignalled() && !door_session.ChecksEnabled) Halt(0);
    WaitForInput(true, WaitSource{}, kKeyPollMs);
  } while (MsElapsed(start, MsOfDay()) < ms);
  return false;
}

// Record 0 for the first screen. A game node may hold PLAYER.DAT through a long turn: the operator
// (or the caller) is told and may give up, rather than the start ending in an I/O error. Any other
// failure still ends it with the runtime's report.
void LoadFirstPlayer() {
  bool told = false;
  for (;;) {
    const FileResult result = MoveToPlayer(0);
    if (result == frDone) return;
    if (result != frBusy) {
      LoadCurrentPlayer();  // reports the failure and ends, unless the file has just come good
      return;
    }
    if (!told) {
      DoorPrintColourLn("  `@" + FileProblemText(frBusy));
      DoorPrintColourLn("  `%Waiting for the game to let go of it; Esc or Q gives up.");
      told = true;
    }
    do {
      if (GiveUpWithin(kBusyLookMs)) Halt(0);
    } while (PlayerFileHeld());
  }
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
  const std::string problem = VarnExeProblem(path);
  if (!problem.empty()) HaltOnInvalidPath(problem);
  WriteTextLine(AddBackslash(path), kConfigName, true);
}

bool LoadConfig() {
  if (!PathExists(ConfigPath())) {
    if (!DoorIsLocal()) HaltOnMissingConfigInDoor();
    ConfigPrompt();
  }
  std::string line = ReadFirstLine(ConfigPath(), kGameDirMax);
  if (!UsableGamePath(line)) {
    editor_state.game_dir.clear();
    return false;
  }
  editor_state.game_dir = std::move(line);
  editor_state.journal_path = JournalPath();  // beside the configuration
  RollBackUnfinished();  // before anything reads the game, for the editor and every command word
  return true;
}

int EditorMain(int argc, char** argv) {
  // The libraries' own start values are their globals' initial values; the editor's start here.
  DoorClearScreen();
  BacktickTranslation = true;
  editor_state.debug_mode = false;
  std::string first = argc > 1 && argv[1] != nullptr ? argv[1] : "";
  if (!first.empty() && first[0] == '-') DoorStartup(argc, argv);
  if (UpperStr(first) == "/DEBUG") editor_state.debug_mode = true;
  editor_state.current_player = 0;
  if (!LoadConfig()) HaltOnInvalidPath();
  EndIfNoGameDirectory();
  LoadFirstPlayer();
  ReadQuennaSpouse();
  ReadDaskSpouse();
  MainLoop();
  ShowCredits();
  Halt(0);
}

int ZorvanMain(int argc, char** argv) {
  HaltOnUncaughtException();  // even then the terminal and the caller's line are given back
  DoorSessionInit();  // first, so that its exit step still finds the screen open
  if (DoorWantsLocalConsole(argc, argv)) ConsoleOpen();  // -S: the terminal is the caller's
  return EditorMain(argc, argv);
}
