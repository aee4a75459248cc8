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
  explicit CommandLine(std::vector<std::string> args, std::string program = "zv") : storage(args) {
    storage.insert(storage.begin(), std::move(program));
    for (auto& arg : storage) argv.push_back(arg.data());
  }
  int argc() const { return static_cast<int>(argv.size()); }
  DoorOptions Parse() { return DoorParseOptions(argc(), argv.data()); }
  int Start() {  // DoorStartup to its Halt; -1 when it returns
    return HaltCodeOf([this] { DoorStartup(argc(), argv.data()); });
  }
  std::vector<std::string> storage;
  std::vector<char*> argv;
};

// The options as one line: the flags given, the drop path, the handle and the node.
std::string Brief(const DoorOptions& o) {
  std::string out = std::string(o.local ? "L " : "") + (o.win_server ? "W " : "") +
                    (o.telnet ? "T " : "") + (o.stdio ? "S " : "") + (o.utf8 ? "U " : "") +
                    (o.drop_given ? "D" + o.drop_path + " " : "");
  return out + "H" + std::to_string(o.handle) + " N" + std::to_string(o.node);
}

class DoorStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DoorSessionInit();
    // A telnet socket 1234 on node 3, 45 minutes; and a file naming the stdio kind.
    game_.WriteFile("door32.sys",
                    "2\r\n1234\r\n0\r\nBBS\r\n1\r\nAnn Lee\r\nAnn\r\n10\r\n45\r\n1\r\n3\r\n");
    game_.WriteFile("odd_door32.sys",
                    "4\r\n1\r\n0\r\nBBS\r\n1\r\nEve\r\nEve\r\n1\r\n9\r\n1\r\n2\r\n");
  }
  std::string DropOption(const char* name = "door32.sys") const {
    return "-D" + game_.PathOf(name);
  }
  TempGameDir game_;
};

TEST_F(DoorStartupTest, OptionsAndTheModeTheyChoose) {
  struct Case {
    std::vector<std::string> args;
    std::string options;
    DoorMode mode;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {{"-L", "-N5", "-S"}, "L S H-1 N5", dmLocal},
      // "/debug" is the editor's switch, not -D with "ebug"
      {{"/debug", "-l", "/dC:\\BBS\\DOOR.SYS"}, "L DC:\\BBS\\DOOR.SYS H-1 N0", dmLocal},
      {{"-H5", "-H$10", "-N7", "-Nx"}, "H16 N0", dmUsage},
      {{"-", "/", "L", "x-L", "--L", "-Q9"}, "H-1 N0", dmUsage},
      {{"-w", "-t", "-D", "-H5", "-N2", "-S"}, "W T S D H5 N2", dmWinServer},
      {{"-H0", "-N1", "-DX"}, "DX H0 N1", dmHandle},
      {{"-H1000", "-DX"}, "DX H1000 N0", dmDropFile},
      {{"-H5", "-N2", "-T", "/s", "/u"}, "T S U H5 N2", dmStdio},
  };
  // clang-format on
  for (auto& c : cases) {
    CommandLine line(c.args);
    EXPECT_EQ(Brief(line.Parse()), c.options);
    EXPECT_EQ(DoorChooseMode(line.Parse()), c.mode) << c.options;
  }
  // The local screen stays unless a door start (a dash first) puts the caller on stdio.
  for (const auto& [args, console] : std::vector<std::pair<std::vector<std::string>, bool>>{
           {{"-S"}, false}, {{"/DEBUG", "-S"}, true}, {{"-W", "-S"}, true}, {{}, true}}) {
    CommandLine line(args);
    EXPECT_EQ(DoorWantsLocalConsole(line.argc(), line.argv.data()), console) << args.size();
  }
}

TEST_F(DoorStartupTest, SessionFromEachMode) {
  struct Case {
    std::vector<std::string> args;
    std::string keys;
    ChannelKind kind;
    int32_t handle, node, time;
    std::string name;
    CallerCharset charset;
  };
  const std::vector<Case> cases = {
      {{"-L", "-N5", DropOption()}, "\x1b", ckLocal, 0, 5, 3600, "SYSOP", ccCp437},  // not read
      {{"-l", "-n2"}, "\x19Jo Ann\r", ckLocal, 0, 2, 3600, "Jo Ann", ccCp437},
      {{"-W", "-H5", "-N2"}, "", ckDoor32, 1, 0, 0, "", ccCp437},
      {{"-H7", "-N2"}, "", ckSerial, 7, 2, 3600, "", ccCp437},
      {{"-H-1", "-N3", DropOption()}, "", ckTelnet, 1234, 3, 2700, "Ann Lee", ccCp437},
      // the BBS wrote door32.sys; the command line may spell it otherwise
      {{DropOption("DOOR32.SYS"), "-U"}, "", ckTelnet, 1234, 3, 2700, "Ann Lee", ccUtf8},
      {{"-N7", "-S", "-U"}, "", ckStdio, 1, 7, 3600, "", ccUtf8},
      // the file's kind and handle give way to -S; its node, time and names stay
      {{"-S", "-N7", DropOption()}, "", ckStdio, 1, 3, 2700, "Ann Lee", ccCp437},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ResetDoorLibrary();
    DoorSessionInit();
    TypeKeys(c.keys);
    DoorSetupSession(CommandLine(c.args).Parse());
    const DoorSession& s = door_session;
    EXPECT_EQ(std::make_tuple(s.Kind, s.CommHandle, s.Node, s.TimeLimit, s.UserName, s.Charset),
              std::make_tuple(c.kind, c.handle, c.node, c.time, c.name, c.charset));
    if (c.kind != ckLocal) continue;
    EXPECT_EQ(s.Alias, c.name);
    EXPECT_EQ(ScreenRow(4), "  Enter your name : " + c.name);
    EXPECT_EQ(ConsoleCellAt(21 + 39, 4).attr, 31);  // the 40-wide field
  }
  DoorSessionReset();  // empty slots are not called: no usage, no end
  DoorSetupSession(CommandLine({"-H1000"}).Parse());
  EXPECT_EQ(door_session.Kind, ckLocal);
}

TEST_F(DoorStartupTest, StartsThatEndAtOnceWithCodeZero) {
  struct Case {
    std::vector<std::string> args;
    std::string program;
    int row;
    std::string text;
  };
  game_.MakeDir("DORINFO1.DEF");
  const std::vector<Case> cases = {
      {{"-S", DropOption("DOOR.SYS")}, "zv", 2, "  Drop File Not Found"},
      // only a plain file is a drop file
      {{DropOption("DORINFO1.DEF")}, "zv", 2, "  Drop File Not Found"},
      // only -S puts the caller on the standard handles: a file naming that kind is refused
      {{DropOption("odd_door32.sys")}, "zv", 2, "  No Carrier Detected"},
      // the usage names the program as it was started, without its folder
      {{"-H1000"}, "C:\\DOORS\\ZV.EXE", 2, " ZV.EXE <PARAMETERS>"},
  };
  for (const Case& c : cases) {
    ResetDoorLibrary();
    DoorSessionInit();
    ExitProc = nullptr;  // the screen as the start left it
    EXPECT_EQ(CommandLine(c.args, c.program).Start(), 0) << c.text;
    EXPECT_EQ(ScreenRow(c.row), c.text);
    EXPECT_FALSE(door_session.ChecksEnabled);
  }
  const std::string sep(1, PathSeparator());
  const std::vector<std::pair<std::string, std::string>> names = {
      {"C:ZV", "ZV"}, {"", ""}, {"a/b:c\\d", "d"}, {"." + sep + "bbs" + sep + "zv32", "zv32"}};
  for (const auto& [parameter, name] : names) EXPECT_EQ(ProgramName(parameter), name);
}

TEST_F(DoorStartupTest, SessionStartSetsTheClocksAndKeepsRow25) {
  // 0.2 s past midnight: the first check counts from half a second earlier, the day before.
  ClockOverride([] { return 200; });
  ConsolePutCells(1, 25, "old status", 7);
  DoorSessionStart();
  const DoorSession& s = door_session;
  EXPECT_TRUE(s.ChecksEnabled);
  EXPECT_EQ(std::make_tuple(s.LastCheckMs, s.StartTime, s.LastKeyTime),
            std::make_tuple(86'399'700, 0, 0));
  EXPECT_EQ(ScreenRow(25), "");
  EXPECT_EQ(std::make_pair(ConsoleWindowHeight(), ConsoleWindowWidth()), std::make_pair(24, 80));
}

TEST_F(DoorStartupTest, ExitStepRunsOnceBeforeTheStepsInstalledEarlier) {
  static std::string seen;
  ResetDoorLibrary();
  ExitProc = [] { seen += "earlier at row " + std::to_string(ConsoleWhereY()) + ";"; };
  DoorSessionInit();
  DoorSessionInit();
  OutputRecorder out;
  ConsoleSetAttr(0x1F);
  ConsoleGotoXY(1, 5);
  EXPECT_THROW(Halt(0), HaltSignal);
  EXPECT_EQ(seen, "earlier at row 8;");
  EXPECT_EQ(ConsoleAttr(), 7);
  EXPECT_EQ(CountOf(out.Bytes(), "\x1b[0;37m"), 1u);
  EXPECT_THROW(Halt(0), HaltSignal);
  EXPECT_EQ(seen, "earlier at row 8;");
  EXPECT_EQ(ConsoleWhereY(), 8);
}

}  // namespace
