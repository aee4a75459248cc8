#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "comm/channel.h"
#include "door/input.h"
#include "door/session.h"
#include "fakes/door_harness.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/sockets.h"

namespace {

using namespace std::string_literals;  // "\0H"s keeps the NUL of an extended key

class DoorInputTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetDoorLibrary(); }
  void TearDown() override { ClockOverride(nullptr); }
};

TEST_F(DoorInputTest, ReadKeyMarksExtendedKeysAndRecordsTheSecondOfDay) {
  ClockOverride([] { return int32_t{(10 * 3600 + 2 * 60 + 3) * 1000 + 990}; });
  TypeKeys("a\0H"s + "H");
  EXPECT_EQ(DoorReadKey(), 'a');
  EXPECT_FALSE(DoorLastKeyExtended());
  EXPECT_EQ(DoorReadKey(), 'H');  // up arrow
  EXPECT_TRUE(DoorLastKeyExtended());
  EXPECT_EQ(DoorReadKey(), 'H');  // the letter
  EXPECT_FALSE(DoorLastKeyExtended());
  EXPECT_EQ(door_session.LastKeyTime, 10 * 3600 + 2 * 60 + 3);
}

TEST_F(DoorInputTest, WithNoKeyboardAndNoCallerReadKeyEndsInsteadOfWaiting) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(HaltCodeOf([] { DoorReadKey(); }), 1);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("neither a terminal nor a caller"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
}

TEST_F(DoorInputTest, GetChoiceUpperCasesIgnoresExtendedKeysAndEchoesNothing) {
  OutputRecorder out;
  TypeKeys("\0Q"s + "\0H"s + "xzh");  // PgDn, up arrow, others, then the letter
  EXPECT_EQ(DoorGetChoice("QH"), 'H');
  EXPECT_EQ(out.Bytes(), "");
}

TEST_F(DoorInputTest, InputLineEditingKeys) {
  const std::string k20(20, 'k');
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      // keys, result, the start of the row afterwards
      {"abc\b\bX\r", "aX", "aX "},
      {"\b\ba\r", "a", "a "},
      {"abc\x19xy\r", "xy", "xy "},
      {"\r\x19\rz\r", "z", "z "},  // Enter on an empty line is ignored
      {k20 + "k\r", k20, k20 + " "},
      {"a\x01\tb\0H"s + "\0S"s + "\r", "ab", "ab "},  // outside the set, extended keys
      {"abc\x1b", "", "abc "},
  };
  for (const auto& [keys, result, shown] : cases) {
    SCOPED_TRACE(shown);
    ResetDoorLibrary();
    TypeKeys(keys);
    EXPECT_EQ(DoorInputLine(), result);
    EXPECT_EQ(ConsoleTextAt(1, 1, static_cast<int>(shown.size())), shown);
    EXPECT_EQ(ConsoleCellAt(20, 1).attr, 12);  // the whole field in the input colour
    EXPECT_EQ(ConsoleAttr(), 7);               // and the old colour back
  }
}

TEST_F(DoorInputTest, FieldWithDefaultEchoAndBars) {
  TypeKeys("\bX\x1b" "\b\r" "\x1b" "pw\r" "\x1b");
  EXPECT_EQ(DoorInputField(15, 40, 40, 0, kNameInputSet, "SYSOP"), "SYSOP");  // Esc: the default
  EXPECT_EQ(ConsoleTextAt(1, 1, 6), "SYSOX ");
  EXPECT_EQ(DoorInputField(15, 40, 40, 0, kNameInputSet, "SYSOP"), "SYSO");
  EXPECT_EQ(DoorInputField(15, 3, 40, 0, kNameInputSet, "SYSOP"), "SYS");  // cut to the field first
  ConsoleGotoXY(1, 5);
  EXPECT_EQ(DoorInputField(7, 10, 10, '*', kStandardInputSet, ""), "pw");
  EXPECT_EQ(ConsoleTextAt(1, 5, 3), "** ");
  ConsoleGotoXY(1, 7);
  EXPECT_EQ(DoorInputField(7, 20, 20, 0, kStandardInputSet, "a|1Fb"), "a|1Fb");
  EXPECT_EQ(ConsoleTextAt(1, 7, 5), "a|1Fb");  // shown as typed
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

// A caller's keys over a real telnet channel, decoded like the sysop's: an arrow or PgDn is one
// extended key (never Esc and letters), CR LF is one Enter, NUL + byte is an extended key, DEL is
// Backspace, and an Esc with nothing after it is Esc. A local key waiting wins over the caller's.
TEST_F(DoorInputTest, CallerKeysAreDecodedLikeLocalOnes) {
  SocketHandle door_end = kNoSocket, caller = kNoSocket;
  ASSERT_TRUE(SocketLoopbackPair(door_end, caller));
  ChannelOpen(ckTelnet);
  ChannelAttach(door_end);
  door_session.Kind = ckTelnet;
  const std::string keys = "\x1b[A\x1b[6~x\r\n\0H"s + "\x7f\x1b";
  ASSERT_EQ(SocketSend(caller, keys.data(), static_cast<int>(keys.size())),
            static_cast<int>(keys.size()));
  const std::vector<std::pair<int, bool>> expected = {
      {72, true}, {81, true}, {'x', false}, {13, false}, {'H', true}, {8, false}, {27, false}};
  for (auto [key, extended] : expected) {
    EXPECT_EQ(DoorReadKey(), static_cast<char>(key));
    EXPECT_EQ(DoorLastKeyExtended(), extended) << "key " << key;
  }
  const std::string more = "r";
  SocketSend(caller, more.data(), 1);
  while (!ChannelCharReady()) SleepMs(1);
  TypeKeys("l");
  EXPECT_EQ(DoorReadKey(), 'l');
  EXPECT_EQ(DoorReadKey(), 'r');
  ChannelClose();
  SocketClose(door_end);
  SocketClose(caller);
}

}  // namespace
