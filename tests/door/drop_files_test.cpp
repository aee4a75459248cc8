#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "door/drop_files.h"
#include "door/helpers.h"
#include "door/library.h"
#include "door/session.h"
#include "fakes/game_fixture.h"

namespace {

// The session fields the readers set: kind, handle, node, record, security, time, name, alias,
// ansi, fairy, clean.
using Seen = std::tuple<int, int32_t, int32_t, int32_t, int32_t, int32_t, std::string, std::string,
                        bool, bool, bool>;

Seen SeenNow() {
  const DoorSession& s = door_session;
  return {s.Kind,     s.CommHandle, s.Node, s.UserRecord,  s.SecurityLevel, s.TimeLimit,
          s.UserName, s.Alias,      s.Ansi, s.FairyOption, s.CleanMode};
}

// A file of n lines ending in line_end, with the given lines set (1-based) and the rest empty.
std::string Lines(size_t n, std::vector<std::pair<size_t, std::string>> set,
                  const char* end = "\r\n") {
  std::vector<std::string> lines(n);
  for (auto& [line, text] : set) lines[line - 1] = text;
  std::string out;
  for (const auto& line : lines) out += line + end;
  return out;
}

const std::string kHead = "2\r\n7\r\n0\r\nBBS\r\n1\r\nAnn\r\n";

struct ReaderCase {
  const char* file;
  std::string bytes;
  Seen expected;
};

TEST(DropFiles, EachFormatSetsTheSessionLineByLine) {
  // clang-format off
  const std::vector<ReaderCase> cases = {
      // hex, a trailing blank (the default applies), ASCII emulation
      {"DOOR32.SYS", Lines(11, {{1, "1"}, {2, " 2"}, {6, "B"}, {8, "$1F"}, {9, "45 "}, {10, "0"}}),
       {ckSerial, 2, 0, 0, 31, 3600, "B", "", false, false, false}},
      // more minutes than a day has are seconds (a BBS on Linux writes seconds there)
      {"DOOR32.SYS", Lines(9, {{1, "258"}, {9, "99999999"}}),
       {ckTelnet, -1, 0, 0, 0, 99999999, "", "", true, false, false}},
      {"DOOR32.SYS", Lines(9, {{9, "1440"}}),
       {ckLocal, -1, 0, 0, 0, 86400, "", "", true, false, false}},
      {"DOOR32.SYS", Lines(9, {{9, "1441"}}),
       {ckLocal, -1, 0, 0, 0, 1441, "", "", true, false, false}},
      // a BBS that writes seconds always, named on line 4, below the bound too
      {"DOOR32.SYS", Lines(9, {{4, "WWIV 5.9.0"}, {9, "420"}}),
       {ckLocal, -1, 0, 0, 0, 420, "", "", true, false, false}},
      // a DOS end-of-file mark ends the file; missing lines take the defaults
      {"DOOR32.SYS", "1\r\n3\x1a\r\n\r\n\r\n7\r\nAnn\r\n",
       {ckSerial, 3, 0, 0, 0, 3600, "", "", true, false, false}},
      // port 0 stays local; the time line is in seconds
      {"door.sys", Lines(52, {{1, "COM0:"}, {4, "2"}, {10, "Cy Doe"}, {15, "20"}, {18, "1800"},
                              {20, "gr"}, {26, "10"}, {36, "Cyd"}}, "\n"),
       {ckLocal, 0, 2, 9, 20, 1800, "Cy Doe", "Cyd", true, false, false}},
      {"DOOR.SYS", "COM5\r\n", {ckLocal, 0, 0, 0, 0, 3600, "", "", false, false, false}},
      {"dorinfo1.def", Lines(13, {{4, "COM1"}, {7, "DEE"}, {10, "0"}, {11, "$10"}, {12, "30"}}),
       {ckSerial, 1, 0, 0, 16, 1800, "DEE", "DEE", false, false, false}},
      {"DORINFO3.DEF", Lines(12, {{4, "COM0"}, {7, "DEE"}, {8, "JAY"}, {10, "1"}, {12, "-5"}}),
       {ckLocal, 0, 0, 0, 0, -300, "DEE JAY", "DEE", true, false, false}},
      {"info.1", Lines(14, {{1, "4"}, {2, "3"}, {4, "fairy yes"}, {5, "20"}, {6, "Eve"}, {7, "Eve"},
                            {8, "Ray"}, {9, "7"}, {12, "telnet"}, {14, "Clean Mode On"}}, "\n"),
       {ckTelnet, 7, 0, 4, 0, 1200, "Eve Ray", "Eve", true, true, true}},
      // one longer than any drop file is none, not even by its head
      {"DOOR32.SYS", kHead + std::string(64 * 1024 - kHead.size(), '\n'),
       {ckTelnet, 7, 0, 0, 0, 3600, "Ann", "", true, false, false}},
      {"DOOR32.SYS", kHead + std::string(64 * 1024 + 1 - kHead.size(), '\n'),
       {ckLocal, 0, 0, 0, 0, 0, "", "", true, false, false}},
  };
  // clang-format on
  TempGameDir dir;
  for (size_t i = 0; i < cases.size(); ++i) {
    const ReaderCase& c = cases[i];
    SCOPED_TRACE("case " + std::to_string(i));
    DoorLibraryReset();
    dir.WriteFile(c.file, c.bytes);
    DropFileReader reader = DropFileReaderFor(dir.PathOf(c.file));
    ASSERT_NE(reader, nullptr);
    reader(dir.PathOf(c.file));
    EXPECT_EQ(SeenNow(), c.expected);
  }
}

// The line a daemon's log names when a drop file leaves a door without a caller (DOOR32.SYS and
// DOOR.SYS: the black-box Linux BBS leg).
TEST(DropFiles, TheLineThatMadeTheSessionLocal) {
  TempGameDir dir;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"INFO.1", "INFO.1 line 12 says \"local\""},
      {"INFO.2", "INFO.2 line 9 says \"0?x\""},  // control characters do not reach the log
      {"DORINFO1.DEF", "DORINFO1.DEF cannot be read"},
  };
  dir.WriteFile("INFO.1", Lines(14, {{9, "3"}, {12, "local"}}));
  dir.WriteFile("INFO.2", Lines(14, {{9, "0\x1bx"}, {12, "PIGEON"}}));
  dir.MakeDir("DORINFO1.DEF");
  for (const auto& [name, said] : cases) EXPECT_EQ(DropFileConnectionLine(dir.PathOf(name)), said);
}

// What no screen or drop file shows: negative commas, lower-case hex.
TEST(StringHelpers, NegativeCommasAndLowerCaseHex) {
  EXPECT_EQ(IntToStrCommas(-123456), "-123,456");
  EXPECT_EQ(IntToStrCommas(INT32_MIN), "-2,147,483,648");
  EXPECT_EQ(StrToIntLead("-$1fz"), -31);
}

}  // namespace
