#include <gtest/gtest.h>

#include <set>

#include "door/input.h"
#include "door/output.h"
#include "door/session.h"
#include "fakes/door_harness.h"
#include "runtime/clock.h"
#include "runtime/console.h"

namespace {

using namespace std::string_literals;  // "\0H"s keeps the NUL of an extended key

class DoorInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDoorLibrary(); }
  void TearDown() override { ClockOverride(nullptr); }
};

TEST_F(DoorInputTest, ExtendedKeysComeBackAsTheirScanCodeMarkedExtended) {
  TypeKeys("a\0H"s + "H");
  EXPECT_EQ(DoorReadKey(), 'a');
  EXPECT_FALSE(DoorLastKeyExtended());
  EXPECT_EQ(DoorReadKey(), 'H');  // up arrow
  EXPECT_TRUE(DoorLastKeyExtended());
  EXPECT_EQ(DoorReadKey(), 'H');  // the letter
  EXPECT_FALSE(DoorLastKeyExtended());
}

TEST_F(DoorInputTest, EveryKeyRecordsTheTimeOfDayInSeconds) {
  ClockOverride([] { return int32_t{(10 * 3600 + 2 * 60 + 3) * 1000 + 990}; });
  TypeKeys("x");
  DoorReadKey();
  EXPECT_EQ(door_session.LastKeyTime, 10 * 3600 + 2 * 60 + 3);
}

TEST_F(DoorInputTest, WithNoKeyboardAndNoCallerReadKeyEndsInsteadOfWaiting) {
  testing::internal::CaptureStderr();
  try {
    DoorReadKey();
    ADD_FAILURE() << "DoorReadKey returned without a key";
  } catch (const HaltSignal& halt) {
    EXPECT_EQ(halt.code, 1);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("neither a terminal nor a caller"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
}

TEST_F(DoorInputTest, GetChoiceUpperCasesIgnoresOthersAndEchoesNothing) {
  OutputRecorder out;
  TypeKeys("xzy");
  EXPECT_EQ(DoorGetChoice("YN"), 'Y');
  EXPECT_EQ(out.Bytes(), "");
}

TEST_F(DoorInputTest, GetChoiceIgnoresExtendedKeys) {
  TypeKeys("\0Q"s + "\0H"s + "h");  // PgDn, up arrow, then the letter
  EXPECT_EQ(DoorGetChoice("QH"), 'H');
  EXPECT_FALSE(DoorLastKeyExtended());
}

TEST_F(DoorInputTest, InputLineEchoesInItsColourAndRestoresTheOld) {
  ConsoleGotoXY(5, 2);
  TypeKeys("Hi\r");
  EXPECT_EQ(DoorInputLine(), "Hi");
  EXPECT_EQ(ConsoleTextAt(5, 2, 3), "Hi ");
  EXPECT_EQ(ConsoleCellAt(5, 2).attr, 12);
  EXPECT_EQ(ConsoleCellAt(24, 2).attr, 12);  // the blank rest of the field
  EXPECT_EQ(ConsoleAttr(), 7);
  EXPECT_EQ(ConsoleWhereX(), 1);
  EXPECT_EQ(ConsoleWhereY(), 3);
}

struct EditCase {
  const char* name;
  std::string keys;
  std::string result;
  std::string shown;  // the start of the row afterwards
};

TEST_F(DoorInputTest, EditingKeys) {
  const std::string k20(20, 'k');
  const std::vector<EditCase> cases = {
      {"backspace", "abc\b\bX\r", "aX", "aX "},
      {"backspace on empty", "\b\ba\r", "a", "a "},
      {"ctrl-y empties", "abc\x19xy\r", "xy", "xy "},
      {"enter on empty is ignored", "\r\x19\rz\r", "z", "z "},
      {"21st character ignored", k20 + "k\r", k20, k20 + " "},
      {"keys outside the set", "a\x01\tb\r", "ab", "ab "},
      {"extended keys are no characters", "a\0H"s + "b\0S"s + "\r", "ab", "ab "},
      {"escape gives the default", "abc\x1b", "", "abc "},
  };
  for (const EditCase& c : cases) {
    ResetDoorLibrary();
    TypeKeys(c.keys);
    EXPECT_EQ(DoorInputLine(), c.result) << c.name;
    EXPECT_EQ(ConsoleTextAt(1, 1, static_cast<int>(c.shown.size())), c.shown) << c.name;
  }
}

TEST_F(DoorInputTest, DefaultIsShownEditableAndComesBackOnEscape) {
  TypeKeys("\bX\x1b");
  EXPECT_EQ(DoorInputField(15, 40, 40, 0, kNameInputSet, "SYSOP"), "SYSOP");
  EXPECT_EQ(ConsoleTextAt(1, 1, 6), "SYSOX ");

  ResetDoorLibrary();
  TypeKeys("\b\r");
  EXPECT_EQ(DoorInputField(15, 40, 40, 0, kNameInputSet, "SYSOP"), "SYSO");

  ResetDoorLibrary();
  TypeKeys("\x19\r\r\x1b");  // Enter on the emptied field does nothing
  EXPECT_EQ(DoorInputField(15, 40, 40, 0, kNameInputSet, "SYSOP"), "SYSOP");

  ResetDoorLibrary();
  TypeKeys("\x1b");  // a default longer than the field is cut first
  EXPECT_EQ(DoorInputField(15, 3, 40, 0, kNameInputSet, "SYSOP"), "SYS");
}

TEST_F(DoorInputTest, AWideTextScrollsToShowItsEnd) {
  const std::string typed = "abcdefghijklmnopqrstu";  // 21 characters in a field 20 wide
  ConsoleGotoXY(11, 5);
  TypeKeys(typed + "\x1b");
  DoorInputField(7, 30, 20, 0, kStandardInputSet, "");
  EXPECT_EQ(ConsoleTextAt(11, 5, 21), "bcdefghijklmnopqrstu ");

  ConsoleGotoXY(11, 7);
  TypeKeys(typed + "\b\x1b");  // Backspace scrolls it back
  DoorInputField(7, 30, 20, 0, kStandardInputSet, "");
  EXPECT_EQ(ConsoleTextAt(11, 7, 21), "abcdefghijklmnopqrst ");
}

TEST_F(DoorInputTest, EchoCharacterHidesTheText) {
  TypeKeys("pw\r");
  EXPECT_EQ(DoorInputField(7, 10, 10, '*', kStandardInputSet, ""), "pw");
  EXPECT_EQ(ConsoleTextAt(1, 1, 3), "** ");
}

TEST_F(DoorInputTest, TypedBarsAreShownAsTyped) {
  TypeKeys("\x1b");
  EXPECT_EQ(DoorInputField(7, 20, 20, 0, kStandardInputSet, "a|1Fb"), "a|1Fb");
  EXPECT_EQ(ConsoleTextAt(1, 1, 5), "a|1Fb");
}

TEST_F(DoorInputTest, InputSetsHoldWhatTheyPromise) {
  const std::set<char> standard(kStandardInputSet.begin(), kStandardInputSet.end());
  EXPECT_EQ(kStandardInputSet.size(), 95u);
  EXPECT_EQ(standard.size(), 95u);
  EXPECT_EQ(*standard.begin(), ' ');
  EXPECT_EQ(*standard.rbegin(), '~');
  const std::set<char> names(kNameInputSet.begin(), kNameInputSet.end());
  EXPECT_EQ(kNameInputSet.size(), 53u);
  EXPECT_EQ(names.size(), 53u);
}

}  // namespace
