#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "door/output.h"
#include "fakes/door_harness.h"
#include "runtime/console.h"

namespace {

const std::string kWhiteOnBlue = ESC + "[1;37m" + ESC + "[44m";

class DoorOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEverything(); }
  // Bytes of one action on a fresh library.
  std::string BytesOf(const std::function<void()>& act) {
    ResetEverything();
    act();
    return out.Take();
  }
  OutputRecorder out;
};

void PrintAt10(std::string_view text) { DoorPrintAt(10, 1, text); }

// An unknown backtick code is printed whole, but translated loses only its backtick.
TEST_F(DoorOutputTest, ColourCodes) {
  const struct {
    void (*print)(std::string_view);
    std::string text, bytes;
  } cases[] = {
      {&DoorPrintColour, "`%a`Bb`xd~x05|1F`", ESC + "[1;37mabd~x05|1F"},
      // The blink bit folds into the background.
      {&DoorPrintLn, "~c9e", ESC + "[1;33m" + ESC + "[44m\r\n"},
      {&PrintAt10, "~FZ", ESC + "[1;10f" + ESC + "[0;30m" + ESC + "[40m"},  // non-hex counts as 0
      {&PrintAt10, "~Y05", ESC + "[1;10f" + ESC + "[5;10f"},  // keeps the column
      {&PrintAt10, "~X1", ESC + "[1;10f~X1"},                  // cut short by the end: text
      {&PrintAt10, "5~ off~Q~", ESC + "[1;10f5~ off~Q~"},      // no code: text, and printing ends
      {&DoorWrite, "a|1Fb", "a" + kWhiteOnBlue + "b"},
      {&DoorWrite, "a|zzb", "a|zzb"},
      {&DoorWrite, "|1", "|1"},  // three characters are enough, two are not
      // Scanning goes on after a bar that is text; a colour above 127 loses 128.
      {&DoorWrite, "|1|9F", "|1" + kWhiteOnBlue},
  };
  for (const auto& c : cases) EXPECT_EQ(BytesOf([&] { c.print(c.text); }), c.bytes) << c.text;
  // The tilde printer sets the colour, then the background again.
  EXPECT_EQ(BytesOf([] { BacktickTranslation = true, DoorPrintLn("`2Hi"); }),
            ESC + "[0;32m" + ESC + "[40m" + ESC + "[40mHi\r\n");
  DoorPrintAt(1, 3, "~x47Z");
  EXPECT_EQ(out.Bytes(), ESC + "[3;1f" + ESC + "[255D" + ESC + "[46CZ");
  EXPECT_EQ(ConsoleTextAt(47, 3, 1), "Z");
  EXPECT_EQ(ConsoleWhereX(), 48);
}

TEST_F(DoorOutputTest, WritesAreCutTo255Characters) {
  DoorWrite(std::string(300, 'a'));
  EXPECT_EQ(out.Take(), std::string(255, 'a'));
  DoorWriteLn(std::string(254, 'a'));
  EXPECT_EQ(out.Take(), std::string(254, 'a') + "\r");  // the line end is added before the cut
  DoorWrite(std::string(250, 'a') + "|1F");  // the translated text is cut again
  EXPECT_EQ(out.Take(), std::string(250, 'a') + ESC + "[1;3");
  // The code printers take short strings too: what lies past 255 characters is never printed.
  BacktickTranslation = true;
  DoorPrintLn("`%" + std::string(300, 'c'));  // "~C0F" takes four of the 255
  EXPECT_EQ(std::count(out.Bytes().begin(), out.Bytes().end(), 'c'), 251);
  EXPECT_EQ(StripCodes("`%" + std::string(300, 'd')), std::string(251, 'd'));
}

// The visible text, and the column that centres it.
TEST_F(DoorOutputTest, StripCodesAndTheCentredColumn) {
  BacktickTranslation = true;
  EXPECT_EQ(StripCodes("~x03`2(`0O`2) Gold `%:`@$~W~Z~B1~F2~C1E~Y10"), "(O) Gold :$");
  EXPECT_EQ(StripCodes("~c1e5~ off~Q~"), "5~ off~Q~");  // a tilde that starts no code is kept
  EXPECT_EQ(StripCodes("ab~X4"), "ab~X4");                // so is a code cut short
  BacktickTranslation = false;
  EXPECT_EQ(StripCodes("`2Hi~x10"), "`2Hi");

  EXPECT_EQ(CentredColumn("ab"), 39);
  EXPECT_EQ(CentredColumn(std::string(200, 'x')), 1);

  ConsoleGotoXY(5, 4);
  DoorPrintCentred("`2Hello");  // translated although BacktickTranslation is off
  EXPECT_EQ(out.Bytes().substr(0, 7), ESC + "[4;38f");
  EXPECT_EQ(ConsoleTextAt(38, 4, 5), "Hello");
  EXPECT_EQ(ConsoleCellAt(38, 4).attr, 2);
}

}  // namespace
