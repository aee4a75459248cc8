// The command line, the mode and session it gives, the starts that end at once and the exit step.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "door/library.h"
#include "door/session.h"
#include "door/startup.h"
#include "fakes/door_harness.h"
#include "fakes/game_fixture.h"
#include "fakes/screen_text.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

// A command line: parameter 0, then args.
struct CommandLine {
  explicit CommandLine(std::vector<std::string> args) : storage(args) {
    storage.insert(storage.begin(), "zv");
    for (auto& arg : storage) argv.push_back(arg.data());
  }
  int argc() const { return static_cast<int>(argv.size()); }
  DoorOptions Parse() { return DoorParseOptions(argc(), argv.data()); }
  std::vector<std::string> storage;
  std::vector<char*> argv;
};

// Each command line: its options, mode and whether the local screen stays (only a door start, a
// dash first, puts the caller on stdio); then the session it sets up (but for the usage).
TEST(DoorStartup, CommandLines) {
  // A telnet socket 1234 on node 3, 45 minutes; and a file naming the stdio kind.
  TempGameDir game;
  game.WriteFile("door32.sys",
                 "2\r\n1234\r\n0\r\nBBS\r\n1\r\nAnn Lee\r\nAnn\r\n10\r\n45\r\n1\r\n3\r\n");
  game.WriteFile("odd_door32.sys",
                 "4\r\n1\r\n0\r\nBBS\r\n1\r\nEve\r\nEve\r\n1\r\n9\r\n1\r\n2\r\n");
  const auto drop = [&game](const char* name = "door32.sys") { return "-D" + game.PathOf(name); };
  // The options as one line: the flags given, the drop path (@ for the game folder), handle, node.
  const auto brief = [&game](const DoorOptions& o) {
    std::string path = o.drop_path, folder = game.PathOf("");
    if (path.rfind(folder, 0) == 0) path = "@" + path.substr(folder.size());
    return std::string(o.local ? "L " : "") + (o.win_server ? "W " : "") + (o.telnet ? "T " : "") +
           (o.stdio ? "S " : "") + (o.utf8 ? "U " : "") + (o.drop_given ? "D" + path + " " : "") +
           "H" + std::to_string(o.handle) + " N" + std::to_string(o.node);
  };
  struct Case {
    std::vector<std::string> args;
    std::string options;
    DoorMode mode;
    bool console = true;
    std::string keys{};
    ChannelKind kind = ckLocal;
    int32_t handle = 0, node = 0, time = 0;
    std::string name{};
    CallerCharset charset = ccCp437;
  };
  // clang-format off
  const std::vector<Case> cases = {
      // local: the drop file is not read; Esc takes the default name
      {.args = {"-L", "-N5", "-S", drop()}, .options = "L S D@door32.sys H-1 N5", .mode = dmLocal,
       .keys = "\x1b", .node = 5, .time = 3600, .name = "SYSOP"},
      // "/debug" is the editor's switch, not -D with "ebug"
      {.args = {"/dC:\\BBS\\DOOR.SYS", "-l", "/debug"}, .options = "L DC:\\BBS\\DOOR.SYS H-1 N0",
       .mode = dmLocal, .keys = "\x19Jo Ann\r", .time = 3600, .name = "Jo Ann"},
      {.args = {"-H5", "-H$10", "-N7", "-Nx"}, .options = "H16 N0", .mode = dmUsage},
      {.args = {"-", "/", "L", "x-L", "--L", "-Q9"}, .options = "H-1 N0", .mode = dmUsage},
      {.args = {"-w", "-t", "-D", "-H5", "-N2", "-S"}, .options = "W T S D H5 N2",
       .mode = dmWinServer, .kind = ckDoor32, .handle = 1},
      {.args = {"-H0", "-N1", "-DX"}, .options = "DX H0 N1", .mode = dmHandle, .kind = ckSerial,
       .node = 1, .time = 3600},
      // the BBS wrote door32.sys; the command line may spell it otherwise
      {.args = {"-H-1", "-N3", drop("DOOR32.SYS"), "-U"}, .options = "U D@DOOR32.SYS H-1 N3",
       .mode = dmDropFile, .kind = ckTelnet, .handle = 1234, .node = 3, .time = 2700,
       .name = "Ann Lee", .charset = ccUtf8},
      {.args = {"/s", "-H5", "-N2", "-T", "/u"}, .options = "T S U H5 N2", .mode = dmStdio,
       .kind = ckStdio, .handle = 1, .node = 2, .time = 3600, .charset = ccUtf8},
      // the file's kind and handle give way to -S; its node, time and names stay
      {.args = {"-S", "-N7", drop()}, .options = "S D@door32.sys H-1 N7", .mode = dmStdio,
       .console = false, .kind = ckStdio, .handle = 1, .node = 3, .time = 2700, .name = "Ann Lee"},
      {.args = {"-H1000"}, .options = "H1000 N0", .mode = dmUsage},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ResetDoorLibrary();
    DoorSessionInit();
    TypeKeys(c.keys);
    CommandLine line(c.args);
    EXPECT_EQ(brief(line.Parse()), c.options);
    EXPECT_EQ(DoorChooseMode(line.Parse()), c.mode);
    EXPECT_EQ(DoorWantsLocalConsole(line.argc(), line.argv.data()), c.console);
    if (c.mode == dmUsage) continue;
    DoorSetupSession(line.Parse());
    const DoorSession& s = door_session;
    EXPECT_EQ(std::make_tuple(s.Kind, s.CommHandle, s.Node, s.TimeLimit, s.UserName, s.Charset),
              std::make_tuple(c.kind, c.handle, c.node, c.time, c.name, c.charset));
    if (c.kind != ckLocal) continue;
    EXPECT_EQ(s.Alias, c.name);
    EXPECT_EQ(ScreenRow(4), "  Enter your name : " + c.name);
    EXPECT_EQ(ConsoleCellAt(21 + 39, 4).attr, 31);  // the 40-wide field
  }
  // Only -S puts the caller on the standard handles: a file naming that kind is refused.
  ExitProc = nullptr;  // the screen as the start left it
  CommandLine odd({drop("odd_door32.sys")});
  EXPECT_EQ(HaltCodeOf([&odd] { DoorStartup(odd.argc(), odd.argv.data()); }), 0);
  EXPECT_EQ(ScreenRow(2), "  No Carrier Detected");
  DoorSessionReset();  // empty slots are not called: no usage, no end
  DoorSetupSession(CommandLine({"-H1000"}).Parse());
  EXPECT_EQ(door_session.Kind, ckLocal);
  const std::string sep(1, PathSeparator());
  const std::vector<std::pair<std::string, std::string>> names = {
      {"C:ZV", "ZV"}, {"", ""}, {"a/b:c\\d", "d"}, {"." + sep + "bbs" + sep + "zv32", "zv32"}};
  for (const auto& [parameter, name] : names) EXPECT_EQ(ProgramName(parameter), name);
}

TEST(DoorStartup, SessionStartSetsTheClocksAndKeepsRow25) {
  // 0.2 s past midnight: the first check counts from half a second earlier, the day before.
  ClockOverride([] { return 200; });
  ConsolePutCells(1, 25, "old status", 7);
  DoorSessionStart();
  const DoorSession& s = door_session;
  EXPECT_EQ(std::make_tuple(s.ChecksEnabled, s.LastCheckMs, s.StartTime, s.LastKeyTime),
            std::make_tuple(true, 86'399'700, 0, 0));
  EXPECT_EQ(ScreenRow(25), "");
  EXPECT_EQ(std::make_pair(ConsoleWindowHeight(), ConsoleWindowWidth()), std::make_pair(24, 80));
}

TEST(DoorStartup, ExitStepRunsOnceBeforeTheStepsInstalledEarlier) {
  static std::string seen;
  ExitProc = [] { seen += "earlier at row " + std::to_string(ConsoleWhereY()) + ";"; };
  DoorSessionInit();
  DoorSessionInit();
  OutputRecorder out;
  ConsoleSetAttr(0x1F);
  ConsoleGotoXY(1, 5);
  EXPECT_THROW(Halt(0), HaltSignal);
  EXPECT_THROW(Halt(0), HaltSignal);
  EXPECT_EQ(seen, "earlier at row 8;");
  EXPECT_EQ(ConsoleAttr(), 7);
  EXPECT_EQ(CountOf(out.Bytes(), "\x1b[0;37m"), 1u);
}

}  // namespace
