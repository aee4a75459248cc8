// Door mode: the command-line options and drop file, the caller's channel and the session clocks.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The door options of the command line; a later repetition replaces an earlier value.
struct DoorOptions {
  bool drop_given = false;  // -D
  std::string drop_path;
  int32_t handle = -1;      // -H: -1 when absent or not a number
  int32_t node = 0;         // -N: 0 when absent or not a number
  bool local = false;       // -L
  bool telnet = false;      // -T: the handle is a socket
  bool win_server = false;  // -W
  bool stdio = false;       // -S: the caller is on standard input and output
  bool utf8 = false;        // -U: the caller's terminal takes UTF-8
};

// How the session starts, in the order the options are tried.
enum DoorMode : uint8_t { dmLocal, dmWinServer, dmHandle, dmDropFile, dmUsage, dmStdio };

// Parameters 1 to argc-1; "/DEBUG" (the editor's switch) and parameters shorter than 2 are skipped.
DoorOptions DoorParseOptions(int argc, const char* const* argv);
DoorMode DoorChooseMode(const DoorOptions& options);
// Fills the session for the chosen mode: the local login, the usage screen or the drop file. Ends
// the program when the drop file is missing or of no known kind.
void DoorSetupSession(const DoorOptions& options);
// Opens the caller's channel for the session's kind and handle; true when the caller is there (or
// there is nothing to open).
bool DoorOpenChannel();
// The clocks and checks on, the screen cleared and row 25 kept out of the output window.
void DoorSessionStart();

// Whether the sysop's terminal is the local screen: not when the caller is on standard input and
// output, which must carry nothing but the caller's stream. Asked before the console opens.
bool DoorWantsLocalConsole(int argc, const char* const* argv);

// Called by the editor's start when the first argument begins with "-".
void DoorStartup(int argc, char** argv);
// Door mode, the program's path, the log's path, the usage note and -S forgotten
// (DoorLibraryReset).
void DoorStartupReset();

// Why a door ends at its start: a door started by a daemon has no local console, so it goes to
// standard error as well (most BBSes log it), as one plain line without the screen's leading
// blanks; and to the door log.
void DoorLogFailure(std::string_view text);
// The door log: a file (beside the program's configuration) that keeps, with the time and the
// node, why a door ended at its start and every I/O report of a door, for BBSes that log neither a
// door's standard error nor its exit code. Written only in door mode.
void DoorSetLog(std::string_view path);

// The library's handlers for the OnLocalLogin and OnUsage slots (local console; the usage also on
// standard error when there is none).
void LocalLogin();
[[noreturn]] void ShowUsage();
// The usage screen's lines for a program started as parameter0; the program may put one line of its
// own where the options end.
std::vector<std::string> DoorUsageLines(std::string_view parameter0);
void DoorSetUsageNote(std::string_view line);
// The program file's name: parameter 0 after its last ":" or "\" (and the platform's separator).
std::string ProgramName(std::string_view parameter0);
