#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "door/helpers.h"
#include "fakes/door_harness.h"
#include "runtime/files.h"
#include "runtime/halt.h"

namespace {

namespace fs = std::filesystem;

TEST(StringHelpers, UpperStrChangesOnlyAsciiLetters) {
  EXPECT_EQ(UpperStr("abz AZ 09 {`~} \x82\xe9"), "ABZ AZ 09 {`~} \x82\xe9");
}

TEST(StringHelpers, RepeatAndPad) {
  EXPECT_EQ(RepeatChar(0, 'x'), "");
  EXPECT_EQ(RepeatChar(3, '-'), "---");
  struct Case {
    std::string (*pad)(std::string_view, char, size_t);
    std::string text;
    size_t length;
    std::string result;
  };
  const std::vector<Case> cases = {
      {PadLeft, "5", 2, "05"},       {PadLeft, "05", 2, "05"},     {PadLeft, "123", 2, "12"},
      {PadLeft, "", 0, ""},          {PadRight, "ab", 4, "ab00"},  {PadRight, "abcdef", 3, "abc"},
      {PadRight, "abc", 3, "abc"},   {PadLeft, "", 3, "000"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.pad(c.text, '0', c.length), c.result) << c.text << " to " << c.length;
}

TEST(StringHelpers, IntToStrAndCommas) {
  const std::vector<std::tuple<int64_t, std::string, std::string>> cases = {
      {0, "0", "0"},
      {999, "999", "999"},
      {1000, "1000", "1,000"},
      {-100, "-100", "-100"},
      {-1000, "-1000", "-1,000"},
      {-123456, "-123456", "-123,456"},
      {1234567, "1234567", "1,234,567"},
      {INT32_MAX, "2147483647", "2,147,483,647"},
      {INT32_MIN, "-2147483648", "-2,147,483,648"},
  };
  for (const auto& [value, plain, commas] : cases) {
    EXPECT_EQ(IntToStr(value), plain);
    EXPECT_EQ(IntToStrCommas(value), commas);
  }
}

TEST(StringHelpers, StrToIntLeadTakesTheLeadingNumber) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"1234", 1234},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {" 12abc", 12},
      {"+5", 5},
      {"-7 apples", -7},
      {"1 2", 1},
      {"- 5", 0},
      {"+", 0},
      {"$1F", 31},
      {"$1fg", 31},
      {"-$10", -16},
      {"$", 0},
      {"03", 3},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"3000000000", INT32_MAX},  // saturates instead of losing digits
      {"2147483648", INT32_MAX},
      {"-3000000000", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"99999999999999999999999999", INT32_MAX},
      {"$FFFFFFFFF", INT32_MAX},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(StrToIntLead(text), value) << '"' << text << '"';
}

TEST(StringHelpers, StrToIntWholeNeedsTheWholeText) {
  const std::vector<std::tuple<std::string, bool, int32_t>> cases = {
      {"12", true, 12},    {" 12", true, 12}, {"-4", true, -4},     {"$1F", true, 31},
      {"12 ", false, 0},   {"12a", false, 0}, {"", false, 0},       {"x", false, 0},
      {"-", false, 0},     {"3000000000", false, 0},
  };
  for (const auto& [text, whole, value] : cases) {
    int32_t parsed = -99;
    EXPECT_EQ(StrToIntWhole(text, parsed), whole) << '"' << text << '"';
    EXPECT_EQ(parsed, whole ? value : -99) << '"' << text << '"';
  }
}

TEST(StringHelpers, AddBackslashAppendsThePlatformSeparatorOnce) {
  const char sep = PathSeparator();
  const std::string s(1, sep);
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("game"), "game" + s);
  EXPECT_EQ(AddBackslash("game" + s), "game" + s);
  if (sep == '\\') {
    EXPECT_EQ(AddBackslash("C:"), "C:");
    EXPECT_EQ(AddBackslash("C:\\GAME\\"), "C:\\GAME\\");
    EXPECT_EQ(AddBackslash("C:\\GAME"), "C:\\GAME\\");
  } else {
    EXPECT_EQ(AddBackslash("/srv/game"), "/srv/game/");
    EXPECT_EQ(AddBackslash("C:"), "C:/");        // a drive letter means nothing here
    EXPECT_EQ(AddBackslash("odd\\"), "odd\\/");  // nor does a backslash
  }
}

class FileHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallHaltCatcher();
    std::random_device random;
    dir_ = fs::temp_directory_path() / ("zorvan-door-" + std::to_string(random()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  fs::path dir_;
};

TEST_F(FileHelpers, FileExistsForFilesAndDirectories) {
  Write(Path("a.txt"), "x");
  fs::create_directory(Path("sub"));
  EXPECT_TRUE(FileExists(Path("a.txt")));
  EXPECT_TRUE(FileExists(Path("sub")));
  EXPECT_FALSE(FileExists(Path("missing")));
  EXPECT_FALSE(FileExists(""));
}

TEST_F(FileHelpers, DeleteFileIfExistsReportsWhatHappened) {
  EXPECT_EQ(DeleteFileIfExists(Path("missing")), 255);
  EXPECT_FALSE(fs::exists(Path("missing")));

  Write(Path("NodeOn.3"), "x");
  EXPECT_EQ(DeleteFileIfExists(Path("NodeOn.3")), 0);
  EXPECT_FALSE(fs::exists(Path("NodeOn.3")));

  fs::create_directory(Path("sub"));
  EXPECT_EQ(DeleteFileIfExists(Path("sub")), 1);  // a directory is no file to delete
  EXPECT_TRUE(fs::exists(Path("sub")));
}

TEST_F(FileHelpers, WriteTextLineCreatesAppendsAndReplaces) {
  const std::string news = Path("LOGNOW.TXT");
  WriteTextLine("first", news, false);
  EXPECT_EQ(Contents(news), "first\r\n");
  WriteTextLine("", news, false);
  WriteTextLine("third", news, false);
  EXPECT_EQ(Contents(news), "first\r\n\r\nthird\r\n");
  WriteTextLine("fresh", news, true);
  EXPECT_EQ(Contents(news), "fresh\r\n");
  WriteTextLine("new", Path("MAIL7.DAT"), true);  // replacing a missing file creates it
  EXPECT_EQ(Contents(Path("MAIL7.DAT")), "new\r\n");
}

TEST_F(FileHelpers, WriteTextLineFailureEndsTheProgramWithTheIoReport) {
  const std::string unreachable = Path("no-such-dir/LOGNOW.TXT");
  testing::internal::CaptureStderr();
  int code = -1;
  try {
    WriteTextLine("x", unreachable, false);
  } catch (const HaltSignal& halt) {
    code = halt.code;
  }
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(code, kRunErrorExitCode);
  EXPECT_NE(report.find(unreachable), std::string::npos) << report;
}

}  // namespace
