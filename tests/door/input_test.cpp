#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "comm/channel.h"
#include "door/input.h"
#include "door/session.h"
#include "fakes/door_harness.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/sockets.h"

namespace {

using namespace std::string_literals;  // "\0H"s keeps the NUL of an extended key

// An extended key's scan code is no letter: it is marked, and a choice passes over it.
TEST(DoorInput, ReadKeyMarksExtendedKeysAndGetChoiceTakesOnlyLetters) {
  ClockOverride([] { return int32_t{(10 * 3600 + 2 * 60 + 3) * 1000 + 990}; });
  TypeKeys("a\0H"s + "H");
  for (auto [code, extended] : {std::pair{'a', false}, {'H', true}, {'H', false}}) {
    EXPECT_EQ(DoorReadKey(), code);
    EXPECT_EQ(DoorLastKeyExtended(), extended) << code;
  }
  EXPECT_EQ(door_session.LastKeyTime, 10 * 3600 + 2 * 60 + 3);
  OutputRecorder out;
  TypeKeys("\0Q"s + "\0H"s + "xzh");  // PgDn, up arrow, others, then the letter
  EXPECT_EQ(DoorGetChoice("QH"), 'H');
  EXPECT_EQ(out.Bytes(), "") << "a choice echoes nothing";
}

TEST(DoorInput, WithNoKeyboardAndNoCallerReadKeyEndsInsteadOfWaiting) {
  EXPECT_EQ(HaltCodeOf([] { DoorReadKey(); }), 1);
}

TEST(DoorInput, FieldEditing) {
  const std::string k20(20, 'k'), typed = "abcdefghijklmnopqrstu";
  struct Case {
    std::string keys;
    uint8_t max_length, width;
    std::string start, result, shown;  // shown: the row from the field's start afterwards
  };
  const std::vector<Case> cases = {
      {"\b\ba\r", 20, 20, "", "a", "a "},
      {"\r\x19\rz\r", 20, 20, "", "z", "z "},  // Enter on an empty field is ignored
      {k20 + "k\r", 20, 20, "", k20, k20 + " "},
      {"a\x01\tb\0H"s + "\0S"s + "\r", 20, 20, "", "ab", "ab "},  // outside the set, extended
      {"\bX\x1b", 40, 40, "SYSOP", "SYSOP", "SYSOX "},  // Esc: the default
      {"\b\r", 3, 40, "SYSOP", "SY", "SY "},           // the default cut to the field first
      {"\r", 20, 20, "a|1Fb", "a|1Fb", "a|1Fb"},  // colour codes shown as typed
      {typed + "\x1b", 30, 20, "", "", "bcdefghijklmnopqrstu "},  // too wide: shows its end
      {typed + "\b\x1b", 30, 20, "", "", "abcdefghijklmnopqrst "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    ResetEverything();
    TypeKeys(c.keys);
    EXPECT_EQ(DoorInputField(12, c.max_length, c.width, 0, kStandardInputSet, c.start),
              c.result);
    EXPECT_EQ(ConsoleTextAt(1, 1, static_cast<int>(c.shown.size())), c.shown);
    EXPECT_EQ(ConsoleCellAt(c.width, 1).attr, 12);  // the whole field in the input colour
    EXPECT_EQ(ConsoleAttr(), 7);                    // and the old colour back
  }
}

// Over a telnet channel: the line feed of CR LF is dropped (else it answers the next "any key"),
// and NUL then a byte is an extended key as from the sysop's keyboard.
TEST(DoorInput, CallerKeysAreDecodedLikeLocalOnes) {
  SocketHandle door_end = kNoSocket, caller = kNoSocket;
  ASSERT_TRUE(SocketLoopbackPair(door_end, caller));
  ChannelOpen(ckTelnet);
  ChannelAttach(door_end);
  door_session.Kind = ckTelnet;
  const std::string keys = "\x1b[Ax\r\n\0H"s + "\x7f\x1b";
  ASSERT_EQ(SocketSend(caller, keys.data(), static_cast<int>(keys.size())),
            static_cast<int>(keys.size()));
  for (auto [code, extended] : {std::pair{72, true}, {'x', false}, {13, false}, {'H', true},
                                {8, false}, {27, false}}) {
    EXPECT_EQ(DoorReadKey(), static_cast<char>(code));
    EXPECT_EQ(DoorLastKeyExtended(), extended) << code;
  }
  ChannelClose();
  SocketClose(door_end);
  SocketClose(caller);
}

}  // namespace
