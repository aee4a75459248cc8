#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  DoorOptions Parse() { return DoorParseOptions(static_cast<int>(argv.size()), argv.data()); }
  int Start() {  // DoorStartup to its Halt; -1 when it returns
    return HaltCodeOf([this] { DoorStartup(static_cast<int>(argv.size()), argv.data()); });
  }
  std::vector<std::string> storage;
  std::vector<char*> argv;
};

// The options as one line: the flags given, the drop path, the handle and the node.
std::string Brief(const DoorOptions& o) {
  std::string out = std::string(o.local ? "L " : "") + (o.win_server ? "W " : "") +
                    (o.telnet ? "T " : "") + (o.drop_given ? "D" + o.drop_path + " " : "");
  return out + "H" + std::to_string(o.handle) + " N" + std::to_string(o.node);
}

class DoorStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDoorLibrary();
    DoorSessionInit();
    game_.WriteFile("door32.sys",
                    "2\r\n1234\r\n0\r\nBBS\r\n1\r\nAnn Lee\r\nAnn\r\n10\r\n45\r\n1\r\n3\r\n");
  }
  void TearDown() override {
    ExitProc = nullptr;
    ClockOverride(nullptr);
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
      {{"-L", "-N5"}, "L H-1 N5", dmLocal},
      // "/debug" is the editor's switch, not -D with "ebug"
      {{"/debug", "-l", "/dC:\\BBS\\DOOR.SYS"}, "L DC:\\BBS\\DOOR.SYS H-1 N0", dmLocal},
      {{"-H5", "-H$10", "-N7", "-Nx"}, "H16 N0", dmUsage},
      {{"-H 5", "-N3 "}, "H5 N0", dmUsage},
      {{"-H5", "-Hx", "-N3"}, "H-1 N3", dmUsage},
      {{"-", "/", "L", "x-L", "--L", "-Q9"}, "H-1 N0", dmUsage},
      {{"-w", "-t", "-D", "-H5", "-N2"}, "W T D H5 N2", dmWinServer},
      {{"-H0", "-N1", "-DX"}, "DX H0 N1", dmHandle},
      {{"-H1000", "-DX"}, "DX H1000 N0", dmDropFile},
      {{"-H1000"}, "H1000 N0", dmUsage},
  };
  // clang-format on
  for (const auto& c : cases) {
    CommandLine line(c.args);
    EXPECT_EQ(Brief(line.Parse()), c.options);
    EXPECT_EQ(DoorChooseMode(line.Parse()), c.mode) << c.options;
  }
}

TEST_F(DoorStartupTest, SessionFromEachMode) {
  struct Case {
    std::vector<std::string> args;
    std::string keys;
    ChannelKind kind;
    int32_t handle, node, time;
    std::string name;
  };
  const std::vector<Case> cases = {
      {{"-L", "-N5", DropOption()}, "\x1b", ckLocal, 0, 5, 3600, "SYSOP"},  // the file is not read
      {{"-l", "-n2"}, "\x19Jo Ann\r", ckLocal, 0, 2, 3600, "Jo Ann"},
      {{"-H1000", "-N3", "-T", DropOption()}, "", ckTelnet, 1000, 3, 3600, ""},
      {{"-W", "-H5", "-N2"}, "", ckDoor32, 1, 0, 0, ""},
      {{"-H-1", "-N3", DropOption()}, "", ckTelnet, 1234, 3, 2700, "Ann Lee"},
      // the BBS wrote door32.sys; the command line may spell it otherwise
      {{DropOption("DOOR32.SYS")}, "", ckTelnet, 1234, 3, 2700, "Ann Lee"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ResetDoorLibrary();
    DoorSessionInit();
    TypeKeys(c.keys);
    DoorSetupSession(CommandLine(c.args).Parse());
    const DoorSession& s = door_session;
    EXPECT_EQ(std::make_tuple(s.Kind, s.CommHandle, s.Node, s.TimeLimit, s.UserName),
              std::make_tuple(c.kind, c.handle, c.node, c.time, c.name));
    if (c.kind != ckLocal) continue;
    EXPECT_EQ(s.Alias, c.name);
    EXPECT_EQ(ScreenRow(2), "  LOCAL LOGIN");
    EXPECT_EQ(ScreenRow(4), "  Enter your name : " + c.name);
    EXPECT_EQ(ConsoleCellAt(21 + 39, 4).attr, 31);  // the 40-wide field
  }
}

TEST_F(DoorStartupTest, UsageScreenEndsWithCodeZero) {
  // clang-format off
  const std::vector<std::string> expected = {
      "", " USAGE:", "", " ZV.EXE <PARAMETERS>", "",
      "  -D         PATH\\FILENAME OF DROPFILE",
      "  -H         COM PORT (OR SOCKET HANDLE IF -T USED)",
      "  -L         LOCAL MODE",
      "  -N         NODE NUMBER",
      "  -T         -H PARAMETER IS A SOCKET HANDLE",
      "  -W         WINSERVER DOOR32 MODE", "", " Examples:", "",
      " ZV.EXE -L",
      "  -  Run In Local Mode",
      " ZV.EXE -H1000 -N3 -T",
      "  -  Open Socket Handle 1000 On Node #3",
      " ZV.EXE -DC:\\DOORBAY\\NODE1\\DOOR32.SYS",
      "  -  Load Settings From DOOR32.SYS",
      " ZV.EXE -W",
      "     Run As A WINServer Native Door",
  };
  const std::string sep(1, PathSeparator());
  const std::vector<std::pair<std::string, std::string>> names = {
      {"C:\\DOORS\\ZV.EXE", "ZV.EXE"}, {"C:ZV", "ZV"}, {"zv", "zv"}, {"", ""},
      {"a/b:c\\d", "d"}, {"." + sep + "bbs" + sep + "zorvan32", "zorvan32"}};
  // clang-format on
  CommandLine line({"-H1000"}, "C:\\DOORS\\ZV.EXE");
  ConsoleWrite("old text");
  ExitProc = nullptr;  // the screen as the usage left it
  EXPECT_EQ(line.Start(), 0);
  for (int row = 1; row <= 25; ++row)
    EXPECT_EQ(ScreenRow(row), row <= 22 ? expected[row - 1] : "") << "row " << row;
  for (const auto& [parameter, name] : names) EXPECT_EQ(ProgramName(parameter), name);

  DoorSessionReset();  // empty slots are not called: no usage, no end
  DoorSetupSession(line.Parse());
  EXPECT_EQ(door_session.Kind, ckLocal);
}

TEST_F(DoorStartupTest, MissingDropFileEndsBeforeTheSessionStarts) {
  EXPECT_EQ(CommandLine({DropOption("DOOR.SYS")}).Start(), 0);
  EXPECT_EQ(ScreenRow(2), "  Drop File Not Found");
  EXPECT_FALSE(door_session.ChecksEnabled);
}

TEST_F(DoorStartupTest, SessionStartSetsTheClocksAndKeepsRow25) {
  // now, the base of the first check (half a second earlier)
  const std::vector<std::pair<int32_t, int32_t>> cases = {
      {36'000'750, 36'000'250}, {200, 86'399'700}, {500, 0}};
  static int32_t now;
  for (const auto& [ms, check] : cases) {
    ResetDoorLibrary();
    now = ms;
    ClockOverride([] { return now; });
    ConsolePutCells(1, 25, "old status", 7);
    DoorSessionStart();
    const DoorSession& s = door_session;
    EXPECT_TRUE(s.ChecksEnabled);
    EXPECT_EQ(s.LastCheckMs, check) << ms;
    EXPECT_EQ(s.StartTime, ms / 1000);
    EXPECT_EQ(s.LastKeyTime, ms / 1000);
    EXPECT_EQ(ScreenRow(25), "");
    EXPECT_EQ(ConsoleWindowHeight(), 24);
    EXPECT_EQ(ConsoleWindowWidth(), 80);
  }
}

TEST_F(DoorStartupTest, NoChannelIsOpenedWithoutAHandleOrForLocal) {
  for (const auto& [kind, handle] :
       std::vector<std::pair<ChannelKind, int32_t>>{{ckTelnet, 0}, {ckSerial, 0}, {ckLocal, 5}}) {
    door_session.Kind = kind;
    door_session.CommHandle = handle;
    EXPECT_TRUE(DoorOpenChannel()) << int{kind};
  }
}

TEST_F(DoorStartupTest, ExitStepRunsOnceBeforeTheStepsInstalledEarlier) {
  static std::string seen;
  seen.clear();
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
