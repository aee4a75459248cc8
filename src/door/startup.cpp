#include "door/startup.h"

#include <algorithm>
#include <cstdio>

#include "comm/channel.h"
#include "comm/local_screen.h"
#include "comm/winserver.h"
#include "door/drop_files.h"
#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "door/periodic.h"
#include "door/session.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/keyboard.h"
#include "runtime/signals.h"

namespace {

constexpr std::string_view kClearLocal = "\x1b[2J\x1b[1;1f";
struct StartupState {
  std::string program_path;   // parameter 0, for the usage screen
  std::string usage_note;     // the program's own line for the usage screen, if it has one
  std::string log_path;       // the door log's, as the program gave it
  bool door_mode = false;     // DoorStartup ran: the log is written only then
  bool stdio_caller = false;  // -S: the caller's screen is standard output before the line opens
};
StartupState startup;

// A failure shown to a caller stays this long before the door ends: a BBS that redraws its menu at
// once would wipe it in a flash.
constexpr uint32_t kFailureShownMs = 3'000;

void WriteStderrLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// The caller cannot be reached here, so only the sysop's screen (or the BBS's log) says why the
// door ends; detail is for the log, which has no screen around it.
[[noreturn]] void LocalFailure(std::string_view message, std::string_view detail) {
  LocalWriteAnsi(kClearLocal);
  LocalWriteAnsi("\r\n");
  LocalWriteAnsi(message);
  LocalWriteAnsi("\r\n\r\n");
  DoorLogFailure(std::string(message) + std::string(detail));
  if (startup.stdio_caller) {  // the caller's screen, reached before the line opens; no path on it
    const std::string shown = "\r\n" + std::string(message) + "\r\n";
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fflush(stdout);
    SleepMs(kFailureShownMs);
  }
  DoorEndAfterPause();
}

void AppendDoorLog(std::string_view text) {
  if (!startup.door_mode || startup.log_path.empty()) return;
  OpenModeScope shared(fmShared);
  OsFile log;
  const std::string line = LocalTimestampText() + " node " + IntToStr(door_session.Node) + ": " +
                           std::string(text) + "\n";
  if (FileOpen(log, startup.log_path, faAppend, true))
    FileWriteAtEnd(log, line.data(), line.size());
}

// An I/O report ends a door: the caller reads which file for a moment (its name, never the
// server's path), and the door log keeps the whole report. Standard error gets it from Halt.
void ReportRunError(const std::string& file, const std::string& report) {
  AppendDoorLog(report);
  if (DoorIsLocal() || !ChannelCarrier()) return;
  const std::string path = file.substr(0, file.find(" ("));
  DoorPrintLn("");
  DoorPrintColourLn("  `@I/O error on " + BaseName(path) + ".  Returning To BBS...");
  door_session.Ending = true;  // a line that takes nothing does not hold the end up
  DoorFlushOutput();
  SleepMs(kFailureShownMs);
}

std::string ConnectionText() {
  const std::string handle = IntToStr(door_session.CommHandle);
  switch (door_session.Kind) {
    case ckSerial:
      return " on the serial line " + handle;
    case ckTelnet:
      return " on the telnet socket " + handle;
    case ckDoor32:
      return ": WINServer's DOOR32 and WCSRV libraries, or its caller, are missing";
    case ckStdio:
      return " on standard input and output";
    default:
      return " (connection kind " + IntToStr(door_session.Kind) + ")";
  }
}

// A BBS on Linux may write door32.sys where the door's command line says DOOR32.SYS.
std::string ResolveDropPath(const std::string& path) {
  const size_t cut = path.find_last_of(PathSeparator());
  if (cut == std::string::npos) return GameFilePath("", path);
  return GameFilePath(path.substr(0, cut + 1), path.substr(cut + 1));
}

// The drop file's reader fills the session; a missing file or an unknown kind ends the door.
// Gives the path read.
std::string ReadDropFile(const std::string& given_path) {
  const std::string path = ResolveDropPath(given_path);
  DropFileReader reader = DropFileReaderFor(path);
  if (reader == nullptr)
    LocalFailure("  Drop File Not Found", ": " + given_path + DropFileNotFoundDetail(path));
  door_session.TimeLimit = kDefaultTimeLimit;  // kept when the file cannot be opened
  reader(path);
  return path;
}

// A drop file that makes the session local (a BBS on Linux writes connection type 0 in DOOR32.SYS
// even for its socket callers) leaves a door started by a daemon with no keyboard at all. The log
// says which line did it and what to give instead, rather than only that no key can come.
void EndIfLocalWithoutTerminal(const std::string& path) {
  if (!DoorIsLocal() || LocalKeyboardPresent()) return;
  const std::string here = door_session.CommHandle > 0 && door_session.Node > 0
                               ? "; here -H" + IntToStr(door_session.CommHandle) + " -N" +
                                     IntToStr(door_session.Node) + " -T"
                               : "";
  WriteStderrLine("zorvan32: " + DropFileConnectionLine(path) +
                  ": a local session, but there is neither a terminal nor a caller to read keys "
                  "from. For a telnet caller give -H<socket> -N<node> -T instead (-H%H -N%N -T" +
                  here + "); for a caller on standard input and output add -S.");
  Halt(1);  // the code of the end it comes before: no key could ever come
}

}  // namespace

DoorOptions DoorParseOptions(int argc, const char* const* argv) {
  DoorOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view parameter = argv[i] != nullptr ? argv[i] : "";
    if (parameter.size() < 2 || UpperStr(parameter) == "/DEBUG") continue;
    if (parameter[0] != '-' && parameter[0] != '/') continue;
    const std::string_view value = parameter.substr(2);
    switch (UpperStr(parameter.substr(1, 1))[0]) {
      case 'D':
        options.drop_given = true;
        options.drop_path = value;
        break;
      case 'H':
        options.handle = StrToIntOr(value, -1);
        break;
      case 'L':
        options.local = true;
        break;
      case 'N':
        options.node = StrToIntOr(value, 0);
        break;
      case 'T':
        options.telnet = true;
        break;
      case 'W':
        options.win_server = true;
        break;
      case 'S':
        options.stdio = true;
        break;
      case 'U':
        options.utf8 = true;
        break;
      default:
        break;
    }
  }
  return options;
}

DoorMode DoorChooseMode(const DoorOptions& options) {
  if (options.local) return dmLocal;
  if (options.win_server) return dmWinServer;
  if (options.stdio) return dmStdio;
  if (options.handle >= 0 && options.node > 0) return dmHandle;
  if (options.drop_given) return dmDropFile;
  return dmUsage;
}

bool DoorWantsLocalConsole(int argc, const char* const* argv) {
  const bool door_mode = argc > 1 && argv[1] != nullptr && argv[1][0] == '-';
  return !door_mode || DoorChooseMode(DoorParseOptions(argc, argv)) != dmStdio;
}

void DoorSetupSession(const DoorOptions& options) {
  DoorSession& session = door_session;
  session.Charset = options.utf8 ? ccUtf8 : ccCp437;
  switch (DoorChooseMode(options)) {
    case dmLocal:
      session.CommHandle = 0;
      session.Kind = ckLocal;
      session.TimeLimit = kDefaultTimeLimit;
      session.Node = options.node;
      DoorRunEvent(session.OnLocalLogin);
      break;
    case dmWinServer:
      session.CommHandle = 1;
      session.Kind = ckDoor32;
      break;
    case dmHandle:
      session.CommHandle = options.handle;
      session.Node = options.node;
      session.Kind = options.telnet ? ckTelnet : ckSerial;
      session.TimeLimit = kDefaultTimeLimit;  // nothing else tells how long the caller may stay
      break;
    case dmDropFile: {
      const std::string path = ReadDropFile(options.drop_path);
      // Only -S puts the caller on standard input and output; a file naming that kind made it up.
      if (session.Kind == ckStdio)
        LocalFailure("  No Carrier Detected", ": a drop file names standard input and output, "
                                              "which only -S gives the caller");
      EndIfLocalWithoutTerminal(path);
      break;
    }
    case dmStdio:
      startup.stdio_caller = true;
      session.Node = options.node > 0 ? options.node : 1;
      session.TimeLimit = kDefaultTimeLimit;
      if (options.drop_given) ReadDropFile(options.drop_path);
      // The connection is ours whatever the file says; 1 stands for the standard handles.
      session.Kind = ckStdio;
      session.CommHandle = 1;
      break;
    case dmUsage:
      DoorRunEvent(session.OnUsage);
      break;
  }
}

bool DoorOpenChannel() {
  if (door_session.CommHandle == 0 || door_session.Kind == ckLocal) return true;
  ChannelSetCharset(door_session.Charset);
  ChannelOpen(door_session.Kind);
  ChannelAttach(door_session.CommHandle);
  const bool carrier = ChannelCarrier();
  if (door_session.Kind != ckDoor32) return carrier;
  // Under WINServer the caller's name, time and node come from the BBS, not from a drop file.
  if (!LoadWinServer()) return false;
  uint8_t user_block[kWinServerUserSize] = {};
  if (WildcatLoggedIn(user_block) != 1) return false;
  const WinServerUser user = WinServerUserFromBlock(user_block);
  door_session.UserName = user.UserName;
  door_session.Alias = user.Alias;
  door_session.Ansi = user.Ansi;
  door_session.TimeLimit = user.TimeLimit;
  door_session.Node = GetNode();
  return carrier;
}

void DoorSessionStart() {
  const int32_t now_ms = MsOfDay();
  door_session.LastKeyTime = now_ms / 1000;
  door_session.ChecksEnabled = true;
  // The first check comes about half a second from now.
  door_session.LastCheckMs = now_ms >= 500 ? now_ms - 500 : now_ms - 500 + kMsPerDay;
  door_session.StartTime = now_ms / 1000;
  DoorClearScreen();
  ConsoleSetWindow(1, 1, kConsoleColumns, kConsoleRows - 1);  // row 25 is the status line's
  HangupSignalsDefer();
}

void DoorStartup(int argc, char** argv) {
  startup.program_path = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  startup.door_mode = true;
  SetRunErrorHook(&ReportRunError);
  DoorSetupSession(DoorParseOptions(argc, argv));
  if (!DoorIsLocal() && !DoorOpenChannel()) LocalFailure("  No Carrier Detected", ConnectionText());
  DoorSessionStart();
}

void LocalLogin() {
  LocalWriteAnsi(kClearLocal);
  LocalWriteAnsi("\r\n  LOCAL LOGIN\r\n\r\n  Enter your name : ");
  const std::string name = DoorInputField(31, 40, 40, 0, kNameInputSet, "SYSOP");
  door_session.UserName = name;
  door_session.Alias = name;
}

std::string ProgramName(std::string_view parameter0) {
  const std::string separators = std::string(":\\") + PathSeparator();
  const size_t cut = parameter0.find_last_of(separators);
  return std::string(cut == std::string_view::npos ? parameter0 : parameter0.substr(cut + 1));
}

void DoorLogFailure(std::string_view text) {
  const size_t start = std::min(text.find_first_not_of(' '), text.size());
  if (ConsoleIsHeadless()) WriteStderrLine("zorvan32: " + std::string(text.substr(start)));
  AppendDoorLog(text.substr(start));
}

void DoorSetLog(std::string_view path) { startup.log_path = path; }

void DoorStartupReset() { startup = {}; }

void DoorSetUsageNote(std::string_view line) { startup.usage_note = line; }

// 20 lines: after the exit step's three empty lines the terminal is left on the line below them,
// and the heading must still be on a 25-row screen then.
std::vector<std::string> DoorUsageLines(std::string_view parameter0) {
  const std::string name = ProgramName(parameter0);
  return {
      " USAGE:",
      " " + name + " <PARAMETERS>",
      "  -D         PATH\\FILENAME OF DROPFILE",
      "  -H         COM PORT (OR SOCKET HANDLE IF -T USED)",
      "  -L         LOCAL MODE",
      "  -N         NODE NUMBER",
      "  -T         -H PARAMETER IS A SOCKET HANDLE",
      "  -W         WINSERVER DOOR32 MODE",
      "  -S         CALLER ON STANDARD INPUT AND OUTPUT",
      "  -U         CALLER'S TERMINAL USES UTF-8",
      startup.usage_note,
      " Examples:",
      " " + name + " -L",
      "  -  Run In Local Mode",
      " " + name + " -H1000 -N3 -T",
      "  -  Open Socket Handle 1000 On Node #3",
      " " + name + " -DC:\\DOORBAY\\NODE1\\DOOR32.SYS",
      "  -  Load Settings From DOOR32.SYS",
      " " + name + " -W",
      "     Run As A WINServer Native Door",
  };
}

void ShowUsage() {
  const std::vector<std::string> lines = DoorUsageLines(startup.program_path);
  LocalWriteAnsi(kClearLocal);
  for (const std::string& line : lines) LocalWriteAnsi(line + "\r\n");
  if (ConsoleIsHeadless())  // a daemon's log: the text lines alone
    for (const std::string& line : lines)
      if (!line.empty()) WriteStderrLine(line);
  Halt(0);
}
