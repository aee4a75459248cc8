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

// Each command line: its mode and whether the local screen stays (only a door start, a dash
// first, puts the caller on stdio); then the session it sets up (but for the usage).
TEST(DoorStartup, CommandLines) {
  // A telnet socket 1234 on node 3, 45 minutes; and a file naming the stdio kind.
  TempGameDir game;
  game.WriteFile("door32.sys",
                 "2\r\n1234\r\n0\r\nBBS\r\n1\r\nAnn Lee\r\nAnn\r\n10\r\n45\r\n1\r\n3\r\n");
  game.WriteFile("odd_door32.sys",
                 "4\r\n1\r\n0\r\nBBS\r\n1\r\nEve\r\nEve\r\n1\r\n9\r\n1\r\n2\r\n");
  const auto drop = [&game](const char* name = "door32.sys") { return "-D" + game.PathOf(name); };
  struct Case {
    std::vector<std::string> args;
    DoorMode mode;
    bool console = true;
    std::string keys{};
    ChannelKind kind = ckLocal;
    int32_t node = 0;
    std::string name{};
    CallerCharset charset = ccCp437;
  };
  // clang-format off
  const std::vector<Case> cases = {
      // local: the drop file is not read; Esc takes the default name
      {.args = {"-L", "-N5", "-S", drop()}, .mode = dmLocal, .keys = "\x1b", .node = 5,
       .name = "SYSOP"},
      {.args = {"/dC:\\BBS\\DOOR.SYS", "-l"}, .mode = dmLocal, .keys = "\x19Jo Ann\r",
       .name = "Jo Ann"},
      // no letter, an unknown one, a node given then taken back, and the editor's /debug (not -D
      // with "ebug"): the usage
      {.args = {"-", "/", "L", "x-L", "--L", "-Q9", "-H5", "-N7", "-Nx", "/debug"}, .mode = dmUsage},
      {.args = {"-w", "-t", "-D", "-H5", "-N2", "-S"}, .mode = dmWinServer, .kind = ckDoor32},
      {.args = {"-H0", "-N1", "-DX"}, .mode = dmHandle, .kind = ckSerial, .node = 1},
      // the BBS wrote door32.sys; the command line may spell it otherwise
      {.args = {"-H-1", "-N3", drop("DOOR32.SYS"), "-U"}, .mode = dmDropFile, .kind = ckTelnet,
       .node = 3, .name = "Ann Lee", .charset = ccUtf8},
      {.args = {"/s", "-H5", "-N2", "-T", "/u"}, .mode = dmStdio, .kind = ckStdio, .node = 2,
       .charset = ccUtf8},
      // the file's kind gives way to -S; its node and names stay
      {.args = {"-S", "-N7", drop()}, .mode = dmStdio, .console = false, .kind = ckStdio, .node = 3,
       .name = "Ann Lee"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ResetEverything();
    DoorSessionInit();
    TypeKeys(c.keys);
    CommandLine line(c.args);
    EXPECT_EQ(DoorChooseMode(line.Parse()), c.mode);
    EXPECT_EQ(DoorWantsLocalConsole(line.argc(), line.argv.data()), c.console);
    if (c.mode == dmUsage) continue;
    DoorSetupSession(line.Parse());
    const DoorSession& s = door_session;
    EXPECT_EQ(std::make_tuple(s.Kind, s.Node, s.UserName, s.Charset),
              std::make_tuple(c.kind, c.node, c.name, c.charset));
  }
  // Only -S puts the caller on the standard handles: a file naming that kind is refused.
  ResetEverything();  // the screen as the start left it, no exit step
  CommandLine odd({drop("odd_door32.sys")});
  EXPECT_EQ(HaltCodeOf([&odd] { DoorStartup(odd.argc(), odd.argv.data()); }), 0);
  EXPECT_EQ(ScreenRow(2), "  No Carrier Detected");
  const std::string sep(1, PathSeparator());
  for (const auto& [parameter, name] : std::vector<std::pair<std::string, std::string>>{
           {"C:ZV", "ZV"}, {"a/b:c\\d", "d"}, {"." + sep + "bbs" + sep + "zv32", "zv32"}})
    EXPECT_EQ(ProgramName(parameter), name);
}

TEST(DoorStartup, ExitStepRunsOnceBeforeTheLaterSteps) {
  static std::string seen;
  AddExitStep([] { seen += "later at row " + std::to_string(ConsoleWhereY()) + ";"; }, 1);
  DoorSessionInit();
  DoorSessionInit();
  OutputRecorder out;
  ConsoleSetAttr(0x1F);
  ConsoleGotoXY(1, 5);
  EXPECT_THROW(Halt(0), HaltSignal);
  EXPECT_THROW(Halt(0), HaltSignal);
  EXPECT_EQ(seen, "later at row 8;");
  EXPECT_EQ(ConsoleAttr(), 7);
  EXPECT_EQ(CountOf(out.Bytes(), "\x1b[0;37m"), 1u);
}

}  // namespace
