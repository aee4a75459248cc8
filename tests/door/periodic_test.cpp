#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "comm/channel.h"
#include "door/input.h"
#include "door/periodic.h"
#include "door/session.h"
#include "door/startup.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/screen_text.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/sockets.h"

namespace {

constexpr int32_t kHour = 3600;

class DoorPeriodicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDoorLibrary();
    DoorSessionInit();
    InstallHaltCatcher();
    door_session.ChecksEnabled = true;
    door_session.TimeLimit = kHour;
    door_session.StartTime = door_session.LastKeyTime = SecondsOfDay();
    ConsoleSetWindow(1, 1, kConsoleColumns, kConsoleRows - 1);
  }
  void TearDown() override {
    ClockOverride(nullptr);
    ChannelClose();
    if (caller_ != kNoSocket) SocketClose(caller_);
    if (door_end_ != kNoSocket) SocketClose(door_end_);
    caller_ = door_end_ = kNoSocket;
  }
  // A caller on a telnet channel; the test holds the caller's end.
  void ConnectCaller() {
    ASSERT_TRUE(SocketLoopbackPair(door_end_, caller_));
    door_session.Kind = ckTelnet;
    ChannelOpen(ckTelnet);
    ChannelAttach(door_end_);
  }
  std::string CallerReceived() {
    std::string got;
    char buffer[4096];
    while (SocketWait(caller_, false, 200) > 0) {
      int n = SocketRecv(caller_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  // Reads keys until the session ends; the exit code.
  int WaitForEnd() {
    return HaltCodeOf([] { for (;;) DoorReadKey(); });
  }
  SocketHandle door_end_ = kNoSocket, caller_ = kNoSocket;
};

// The idle and used times are counted back from now, across midnight in the last case.
TEST_F(DoorPeriodicTest, StatusLineTexts) {
  struct {
    const char* name;
    int32_t now, idle, used, limit;
    const char *shown_name, *idle_text, *left_text;
  } const cases[] = {
      {"Abcdefghijklmnopqrstuvwxyz1234", 12 * kHour, 65, 0, kHour + 125, "Abcdefghijklmnopqrstuv",
       "Idle: 01:05", "Left: 01:02:05"},
      // beyond two digits a part: the largest two-digit value
      {"Sy", 12 * kHour, 6000, 10, 100 * kHour + 10, "Sy                    ", "Idle: 99:59",
       "Left: 99:59:59"},
      {"Ann", 30, 45, 60, 600, "Ann                   ", "Idle: 00:45", "Left: 00:09:00"},
  };
  static int32_t now_ms;
  ClockOverride([] { return now_ms; });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    now_ms = c.now * 1000;
    door_session.UserName = c.name;
    door_session.LastKeyTime = (c.now - c.idle + 24 * kHour) % (24 * kHour);
    door_session.StartTime = (c.now - c.used + 24 * kHour) % (24 * kHour);
    door_session.TimeLimit = c.limit;
    ConsoleGotoXY(5, 5);
    DoorStatusLine();
    const std::string row = ConsoleRowText(25);
    for (int square : {1, 29, 49, 63, 80}) EXPECT_EQ(row[square - 1], '\xFE') << square;
    EXPECT_EQ(row.substr(2, 22), c.shown_name);
    EXPECT_EQ(row.substr(30, 16), kLibraryBanner);
    EXPECT_EQ(row.substr(50, 12), c.idle_text + std::string(" "));
    EXPECT_EQ(row.substr(64, 14), c.left_text);
    EXPECT_EQ(ConsoleCellAt(2, 25).attr, 30);
    EXPECT_EQ(ConsoleCellAt(3, 25).attr, 31);
    EXPECT_EQ(ConsoleWhereX(), 5) << "the cursor stays";
  }
}

// A local session ends at its limit while keys keep coming, and never for idleness.
TEST_F(DoorPeriodicTest, LocalSessionExpiresButIsNeverIdle) {
  FakeClock clock(10 * kHour * 1000, 1000);
  door_session.StartTime = SecondsOfDay();
  door_session.LastKeyTime = door_session.StartTime - 1000;  // long idle: no matter locally
  TypeKeys(std::string(20'000, 'k'));
  EXPECT_EQ(WaitForEnd(), 0);
  EXPECT_GE(FindScreenRow("Your Time Has Expired.  Returning To BBS..."), 1);
  const int32_t ended = SecondsElapsed(door_session.StartTime, SecondsOfDay());
  EXPECT_GE(ended, kHour);
  EXPECT_LT(ended, kHour + 30);
}

// A caller idle past 300 seconds is told on both sides; a key from either side restarts the count.
TEST_F(DoorPeriodicTest, RemoteIdleLimitAndKeysThatRestartIt) {
  ConnectCaller();
  FakeClock clock(10 * kHour * 1000, 1000);
  door_session.StartTime = door_session.LastKeyTime = SecondsOfDay();
  door_session.LastKeyTime -= 200;
  TypeKeys("l");
  DoorReadKey();
  EXPECT_LE(DoorIdleSeconds(), 2);
  door_session.LastKeyTime -= 200;
  ASSERT_EQ(SocketSend(caller_, "r", 1), 1);
  EXPECT_EQ(DoorReadKey(), 'r');
  EXPECT_LE(DoorIdleSeconds(), 2);
  EXPECT_EQ(WaitForEnd(), 0);
  EXPECT_GE(DoorIdleSeconds(), 301);
  EXPECT_LE(DoorIdleSeconds(), 310);
  EXPECT_GE(FindScreenRow("Idle Time Limit Exceeded.  Returning To BBS..."), 1);
  EXPECT_NE(CallerReceived().find("Idle Time Limit Exceeded.  Returning To BBS..."),
            std::string::npos);
}

// Every end runs DoorExit: the channel is closed, and a caller still there gets the plain colour.
TEST_F(DoorPeriodicTest, EveryEndClosesTheChannel) {
  struct {
    const char* name;
    void (*end)();
    int code;
  } const ends[] = {
      {"carrier lost", [] { for (;;) DoorReadKey(); }, 0},
      {"time expired", &TimeExpired, 0},
      {"usage", &ShowUsage, 0},
      {"run-time error", [] { RunError("PLAYER.DAT", 5); }, kRunErrorExitCode},
  };
  for (const auto& e : ends) {
    SCOPED_TRACE(e.name);
    TearDown();
    SetUp();
    ConnectCaller();
    CallerReceived();
    const bool hang_up = e.end == ends[0].end;
    if (hang_up) {
      SocketClose(caller_);
      caller_ = kNoSocket;
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(HaltCodeOf(e.end), e.code);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ActiveChannel(), nullptr);
    if (hang_up) {
      EXPECT_GE(FindScreenRow("Caller Dropped Carrier.  Returning To BBS..."), 1);
    } else {
      const std::string got = CallerReceived(), plain = "\x1b[0;37m\x1b[40m\x1b[40m";
      EXPECT_EQ(got.substr(got.size() - std::min(got.size(), plain.size())), plain);
    }
  }
}

}  // namespace
