// Command words: a first argument (after -C DIR) that does not begin with "-" or "/" runs
// it without the screen (no raw mode, no screen codes, messages on stderr); any other first
// argument keeps the editor's own behaviour. Exit codes: 0 done, 1 nothing to do or nothing found,
// 2 a file that cannot be read or written (missing, busy past the usual wait, unreadable) or a
// wrong argument.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Where argv's command word is: 1, or 3 after "-C DIR" (the directory of ZORVAN32.CFG); 0 when
// argv starts the editor. Besides the words: --version, --help, -h and any other bare word (an
// unknown command: exit 2, never the editor).
int CommandWordAt(int argc, char** argv);
int RunCommandWord(int argc, char** argv);
// The command words in one line, for the usage screen.
std::string CommandWordsLine();

using CommandArgs = std::vector<std::string>;  // the arguments after the word

// Shared by the commands: the game directory from ZORVAN32.CFG (false, with the cause on stderr,
// when it cannot be had), and a line on stderr.
bool CommandLoadGame();
void CommandError(const std::string& text);
// A line of what a word prints on stdout (undo's lines).
void CommandSay(const std::string& line);
// While set, CommandError's and CommandSay's lines go here instead of stderr and stdout: the web
// console answers a request with them (one request at a time, under its lock).
struct CommandTranscript {
  std::vector<std::string> said, errors;
};
extern CommandTranscript* command_transcript;
// Whether option is among args; every occurrence taken out.
bool TakeOption(CommandArgs& args, const char* option);

// The output a command was asked for: lines (aligned columns), --json or --csv. False, with the
// usage on stderr, for any other argument; csv only where allowed.
enum OutputFormat : uint8_t { ofLines, ofJson, ofCsv };
bool ParseFormat(const CommandArgs& args, bool csv_allowed, OutputFormat& format,
                 std::vector<std::string>& rest);

// One file a word (the table of words and the shared parts above are in commands.cpp). A word that
// changes the game is given --dry-run apart.
int RunUndo(const CommandArgs& args, bool dry_run);    // undo.cpp
int RunLog(const CommandArgs& args);                   // log.cpp
int RunList(const CommandArgs& args);                  // list.cpp
int RunShow(const CommandArgs& args);                  // show.cpp
int RunCheck(const CommandArgs& args);                 // check.cpp
int RunExport(const CommandArgs& args);                // show.cpp
int RunSet(const CommandArgs& args, bool dry_run);     // set.cpp
int RunRepair(const CommandArgs& args, bool dry_run);  // repair.cpp
// zorvan32 serve lives above the commands (src/web/): main.cpp hands it in; without it (the Windows
// build) the word says it is not there.
void SetServeWord(int (*run)(const CommandArgs& args));

// Why set would never store what record holds in field (a number outside its editor's clamps, a flag
// its toggle never gives, a text with a control character, a field set refuses), "" when it would:
// undo writes back only what it can check.
struct PlayerRecord;
struct RecordField;
std::string SetRefusesValue(const RecordField& field, const PlayerRecord& record);  // set.cpp
// Why set refuses the argument FIELD=VALUE (no such field, a value its editor never takes), ""
// when it takes it.
std::string SetRefusesArgument(const std::string& arg);  // set.cpp
// set on player query_arg (N|NAME) with FIELD=VALUE arguments, as the word does it: its exit code;
// n, the record as written and the lines set prints, when it got that far.
struct SetDone {
  int32_t n = -1;
  PlayerRecord* written = nullptr;  // filled when given
  std::vector<std::string> lines;
};
int SetPlayerFields(const std::string& query_arg, const CommandArgs& assignments, bool dry_run,
                    SetDone& done);  // set.cpp
