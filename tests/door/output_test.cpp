#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "door/output.h"
#include "fakes/door_harness.h"
#include "runtime/console.h"

namespace {

using Writes = std::vector<std::string>;

class DoorOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDoorLibrary(); }
  OutputRecorder out;
};

struct SequenceCase {
  const char* name;
  std::function<void()> act;
  std::string bytes;
};

TEST_F(DoorOutputTest, SequencesAreTheExactAnsiBytes) {
  const std::vector<SequenceCase> cases = {
      {"dark foreground restores the background", [] { DoorSetForeground(2); },
       ESC + "[0;32m" + ESC + "[40m"},
      {"bright foreground", [] { DoorSetForeground(14); }, ESC + "[1;33m"},
      {"foreground modulo 16", [] { DoorSetForeground(16 + 4); }, ESC + "[0;31m" + ESC + "[40m"},
      {"background", [] { DoorSetBackground(1); }, ESC + "[44m"},
      {"background modulo 8", [] { DoorSetBackground(9); }, ESC + "[44m"},
      {"attribute", [] { DoorSetAttr(0x1E); }, ESC + "[1;33m" + ESC + "[44m"},
      {"goto", [] { DoorGotoXY(47, 3); }, ESC + "[3;47f"},
      {"clear screen", [] { DoorClearScreen(); }, ESC + "[2J" + ESC + "[1;1f"},
      {"clear to end of line", [] { DoorClearEol(); }, ESC + "[K"},
      {"column 1", [] { DoorGotoColumn(1); }, ESC + "[255D"},
      {"column 6", [] { DoorGotoColumn(6); }, ESC + "[255D" + ESC + "[5C"},
      {"skip no lines", [] { DoorSkipLines(0); }, ""},
      {"skip three lines", [] { DoorSkipLines(3); }, "\r\n\r\n\r\n"},
  };
  for (const SequenceCase& c : cases) {
    ResetDoorLibrary();
    out.Clear();
    c.act();
    EXPECT_EQ(out.Bytes(), c.bytes) << c.name;
  }
}

TEST_F(DoorOutputTest, DarkForegroundResendsTheCurrentLocalBackground) {
  ConsoleSetAttr(0x47);  // light grey on red
  DoorSetForeground(1);
  EXPECT_EQ(out.Bytes(), ESC + "[0;34m" + ESC + "[41m");
}

TEST_F(DoorOutputTest, BacktickRendererWritesEachCharacterAlone) {
  DoorPrintColour("`%Hello");
  EXPECT_EQ(out.Writes(), (Writes{ESC + "[1;37m", "H", "e", "l", "l", "o"}));
}

TEST_F(DoorOutputTest, BacktickRendererConsumesUnknownCodesAndPrintsOtherCodesAsText) {
  DoorPrintColour("a`Bb`bc`xd~x05|1F`");
  EXPECT_EQ(out.Writes(), (Writes{"a", "b", "c", "d", "~", "x", "0", "5", "|", "1", "F"}));
}

TEST_F(DoorOutputTest, BacktickTranslationRewritesToTildeColourCodes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"`1`9", "~C01~C09"},
      {"`0`!`@`#`$`%", "~C0A~C0B~C0C~C0D~C0E~C0F"},
      {"a`Bb`bc", "abc"},
      {"`xY", "xY"},    // the backtick alone goes
      {"``1", "~C01"},  // and what followed it is read again
      {"end`", "end"},
      {"no codes", "no codes"},
  };
  for (const auto& [text, translated] : cases) EXPECT_EQ(TranslateBackticks(text), translated) << text;
}

TEST_F(DoorOutputTest, PrintLnWithTranslationSetsColourThenPrintsEachLetter) {
  BacktickTranslation = true;
  DoorPrintLn("`2Hi");
  EXPECT_EQ(out.Writes(),
            (Writes{ESC + "[0;32m" + ESC + "[40m", ESC + "[40m", "H", "i", "\r\n"}));
}

TEST_F(DoorOutputTest, PrintLnOfATextWithoutCodesIsOneWriteWithPipeCodes) {
  DoorPrintLn("Hello |1Fthere");
  EXPECT_EQ(out.Writes(), (Writes{"Hello " + ESC + "[1;37m" + ESC + "[44mthere\r\n"}));
}

TEST_F(DoorOutputTest, TildeColourCodesFoldTheBlinkBackground) {
  for (const char* text : {"~C1E", "~C9E", "~c1e"}) {
    ResetDoorLibrary();
    DoorPrintLn(text);
    EXPECT_EQ(out.Bytes(), ESC + "[1;33m" + ESC + "[44m\r\n") << text;  // yellow on blue
  }
}

TEST_F(DoorOutputTest, TildeCodesEachDoTheirOneThing) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"~B4", ESC + "[41m"},
      {"~F2", ESC + "[0;32m" + ESC + "[40m"},
      {"~FZ", ESC + "[0;30m" + ESC + "[40m"},  // a non-hex digit counts as 0
      {"~W", ESC + "[2J" + ESC + "[1;1f"},
      {"~Z", ESC + "[K"},
      {"~x03", ESC + "[255D" + ESC + "[2C"},
      {"~X1", "~X1"},  // cut short by the end: text, not read past the end
  };
  for (const auto& [text, bytes] : cases) {
    ResetDoorLibrary();
    DoorPrintAt(1, 1, text);
    EXPECT_EQ(out.Bytes(), ESC + "[1;1f" + bytes) << text;
  }
}

TEST_F(DoorOutputTest, RowCodeKeepsTheCurrentColumn) {
  ConsoleGotoXY(10, 2);
  DoorPrintLn("~Y05");
  EXPECT_EQ(out.Writes(), (Writes{ESC + "[5;10f", "\r\n"}));
}

TEST_F(DoorOutputTest, PrintAtPlacesTextAtTheColumnCode) {
  DoorPrintAt(1, 3, "~x47Z");
  EXPECT_EQ(out.Writes(), (Writes{ESC + "[3;1f", ESC + "[255D" + ESC + "[46C", "Z"}));
  EXPECT_EQ(ConsoleTextAt(47, 3, 1), "Z");
  EXPECT_EQ(ConsoleWhereX(), 48);
  EXPECT_EQ(ConsoleWhereY(), 3);
}

TEST_F(DoorOutputTest, ATildeThatStartsNoCodeIsPrintedAsText) {
  DoorPrintLn("5~ off~Q~");
  EXPECT_EQ(out.Writes(), (Writes{"5", "~", " ", "o", "f", "f", "~", "Q", "~", "\r\n"}));
  out.Clear();
  DoorPrintLn("ab~X4");
  EXPECT_EQ(out.Bytes(), "ab~X4\r\n");
}

TEST_F(DoorOutputTest, PipeCodes) {
  const std::string white_on_blue = ESC + "[1;37m" + ESC + "[44m";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a|1Fb", "a" + white_on_blue + "b"},
      {"a|zzb", "a|zzb"},
      {"|1F", white_on_blue},  // three characters are enough
      {"|1", "|1"},            // two are not
      {"|9F", white_on_blue},  // above 127: less 128
      {"|07", ESC + "[0;37m" + ESC + "[40m" + ESC + "[40m"},
      {"|1|2f", "|1" + ESC + "[1;37m" + ESC + "[42m"},  // scanning goes on after a bar that is text
  };
  for (const auto& [text, bytes] : cases) {
    ResetDoorLibrary();
    DoorWrite(text);
    EXPECT_EQ(out.Bytes(), bytes) << text;
  }
}

TEST_F(DoorOutputTest, WritesAreCutTo255Characters) {
  DoorWrite(std::string(300, 'a'));
  EXPECT_EQ(out.Take(), std::string(255, 'a'));

  DoorWriteLn(std::string(253, 'a'));
  EXPECT_EQ(out.Take(), std::string(253, 'a') + "\r\n");
  DoorWriteLn(std::string(254, 'a'));
  EXPECT_EQ(out.Take(), std::string(254, 'a') + "\r");  // the line end is added before the cut

  DoorWrite(std::string(250, 'a') + "|1F");  // the translated text is cut again
  EXPECT_EQ(out.Take(), std::string(250, 'a') + ESC + "[1;3");
}

TEST_F(DoorOutputTest, StripCodesLeavesTheVisibleText) {
  struct Case {
    bool translation;
    std::string text;
    std::string visible;
  };
  const std::vector<Case> cases = {
      {true, "~x03`2(`0O`2) Gold in Bank `%:`@$", "(O) Gold in Bank :$"},
      {true, "~W~Z~B1~F2~C1E~Y10Text", "Text"},
      {false, "`2Hi~x10", "`2Hi"},
      {true, "5~ off~Q~", "5~ off~Q~"},  // no code: kept
      {true, "ab~X4", "ab~X4"},          // cut short: kept
      {true, "~c1e~f", "~f"},
  };
  for (const Case& c : cases) {
    BacktickTranslation = c.translation;
    EXPECT_EQ(StripCodes(c.text), c.visible) << c.text;
  }
}

TEST_F(DoorOutputTest, CentredColumnOfTheVisibleText) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"", 40},
      {"ab", 39},
      {"`2Hello", 38},  // the code is not visible, with or without BacktickTranslation
      {std::string(78, 'x'), 1},
      {std::string(80, 'x'), 1},
      {std::string(200, 'x'), 1},
  };
  for (bool translation : {false, true}) {
    BacktickTranslation = translation;
    for (const auto& [text, column] : cases)
      EXPECT_EQ(CentredColumn(text), column) << text.size() << " translation " << translation;
  }
}

TEST_F(DoorOutputTest, PrintCentredTranslatesBackticksAndStaysOnTheRow) {
  ConsoleGotoXY(5, 4);
  DoorPrintCentred("`2Hello");
  EXPECT_EQ(out.Writes()[0], ESC + "[4;38f");
  EXPECT_EQ(out.Writes()[1], ESC + "[0;32m" + ESC + "[40m");  // translated although it is off
  EXPECT_EQ(ConsoleTextAt(38, 4, 5), "Hello");
  EXPECT_EQ(ConsoleCellAt(38, 4).attr, 2);
}

TEST_F(DoorOutputTest, PrintColourLnAndCodedLnShowTheSame) {
  BacktickTranslation = true;
  DoorPrintColourLn("~x05`2Name`% here");
  const std::string colour_ln = out.Take();
  DoorPrintCodedLn("~x05`2Name`% here");
  EXPECT_EQ(out.Take(), colour_ln);
  EXPECT_EQ(ConsoleTextAt(5, 1, 9), "Name here");
  EXPECT_EQ(ConsoleCellAt(5, 1).attr, 2);
  EXPECT_EQ(ConsoleCellAt(10, 1).attr, 15);
  EXPECT_EQ(ConsoleWhereY(), 3);
}

}  // namespace
