#include <gtest/gtest.h>

#include <string>

#include "door/input.h"
#include "door/library.h"
#include "door/periodic.h"
#include "door/session.h"
#include "fakes/door_harness.h"
#include "fakes/fake_clock.h"
#include "fakes/screen_text.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/signals.h"

namespace {

constexpr int32_t kHour = 3600;

class DoorPeriodicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DoorSessionInit();
    door_session.ChecksEnabled = true;
    door_session.TimeLimit = kHour;
    ConsoleSetWindow(1, 1, kConsoleColumns, kConsoleRows - 1);
  }
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
    EXPECT_EQ(row.substr(2, 22), c.shown_name);
    EXPECT_EQ(row.substr(50, 12), c.idle_text + std::string(" "));
    EXPECT_EQ(row.substr(64, 14), c.left_text);
    EXPECT_EQ(ConsoleWhereX(), 5) << "the cursor stays";
  }
}

// A local session ends at its limit while keys keep coming, and never for idleness.
TEST_F(DoorPeriodicTest, LocalSessionExpiresButIsNeverIdle) {
  FakeClock clock(10 * kHour * 1000, 1000);
  door_session.StartTime = SecondsOfDay();
  door_session.LastKeyTime = door_session.StartTime - 1000;  // long idle: no matter locally
  TypeKeys(std::string(20'000, 'k'));
  EXPECT_EQ(HaltCodeOf([] { for (;;) DoorReadKey(); }), 0);
  EXPECT_GE(FindScreenRow("Your Time Has Expired.  Returning To BBS..."), 1);
  const int32_t ended = SecondsElapsed(door_session.StartTime, SecondsOfDay());
  EXPECT_GE(ended, kHour);
  EXPECT_LT(ended, kHour + 30);
}

// A remote caller idle for the limit stays; one idle past it is ended at that check.
TEST_F(DoorPeriodicTest, ACallerIdlePastTheLimitIsEndedThen) {
  static int32_t now_ms = 12 * kHour * 1000;
  ClockOverride([] { return now_ms; });
  door_session.Kind = ckTelnet;
  door_session.OnCarrierLost = nullptr;  // no line here to lose
  door_session.StartTime = SecondsOfDay();
  for (int32_t past : {0, 1}) {
    door_session.LastKeyTime = SecondsOfDay() - door_session.IdleLimit - past;
    door_session.LastCheckMs = now_ms - 2000;
    EXPECT_EQ(HaltCodeOf(&DoorPeriodicCheck), past ? 0 : -1) << past;
  }
  EXPECT_GE(FindScreenRow("Idle Time Limit Exceeded."), 1);
}

// An end while output waits for room comes at the next key wait, never in the middle of file work.
TEST_F(DoorPeriodicTest, AnEndDueWhileOutputWaitsComesAtTheNextKeyWait) {
  static int32_t now_ms;
  ClockOverride([] { return now_ms; });
  const struct {
    const char* name;
    bool signal;
    int32_t used;
    const char* message;
  } ends[] = {
      {"time", false, kHour, "Your Time Has Expired.  Returning To BBS..."},
      {"hang-up signal", true, 0, "Caller Dropped Carrier.  Returning To BBS..."},
  };
  for (const auto& c : ends) {
    SCOPED_TRACE(c.name);
    ResetDoorLibrary();
    SetUp();
    now_ms = 12 * kHour * 1000;
    door_session.StartTime = SecondsOfDay() - c.used;
    door_session.LastKeyTime = SecondsOfDay();
    door_session.LastCheckMs = now_ms - 2000;
    if (c.signal) HangupNote();
    EXPECT_EQ(HaltCodeOf([] {
                EXPECT_EQ(DoorRoomWait(), 0u);
                EXPECT_EQ(DoorRoomWait(), 0u) << "output stops waiting until the end has run";
              }),
              -1);
    EXPECT_EQ(FindScreenRow(c.message), 0);
    EXPECT_EQ(HaltCodeOf(&DoorPeriodicCheck), 0);
    EXPECT_GE(FindScreenRow(c.message), 1);
    EXPECT_EQ(DoorRoomWait(), 0u) << "the exit step does not wait for a stalled line";
    HangupForget();
  }
  // Nothing due: the wait sleeps until the next check, with the status line drawn; with the checks
  // off it just sleeps.
  ResetDoorLibrary();
  SetUp();
  now_ms = 12 * kHour * 1000;
  door_session.StartTime = door_session.LastKeyTime = SecondsOfDay();
  door_session.LastCheckMs = now_ms - 2000;
  EXPECT_GT(DoorRoomWait(), 900u);
  EXPECT_NE(ScreenRow(25).find("Left: 01:00:00"), std::string::npos) << ScreenRow(25);
  door_session.ChecksEnabled = false;
  door_session.StartTime -= kHour;
  EXPECT_GT(DoorRoomWait(), 0u);
}

}  // namespace
