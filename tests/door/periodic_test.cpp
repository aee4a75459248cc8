#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "door/input.h"
#include "door/library.h"
#include "door/periodic.h"
#include "door/session.h"
#include "fakes/door_harness.h"
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

// A remote caller idle for the limit stays; one idle past it is ended at that check, made at a key
// read though a key waits; a local one is never idle.
TEST_F(DoorPeriodicTest, ACallerIdlePastTheLimitIsEndedThen) {
  static int32_t now_ms = 12 * kHour * 1000;
  ClockOverride([] { return now_ms; });
  door_session.OnCarrierLost = nullptr;  // no line here to lose
  door_session.StartTime = SecondsOfDay();
  for (auto [kind, past, code] :
       {std::tuple{ckLocal, 1000, -1}, std::tuple{ckTelnet, 0, -1}, std::tuple{ckTelnet, 1, 0}}) {
    door_session.Kind = kind;
    door_session.LastKeyTime = SecondsOfDay() - door_session.IdleLimit - past;
    door_session.LastCheckMs = now_ms - 2000;
    TypeKeys("k");
    EXPECT_EQ(HaltCodeOf([] { DoorReadKey(); }), code) << past;
  }
  EXPECT_GE(FindScreenRow("Idle Time Limit Exceeded."), 1);
}

// An end while output waits for room comes at the next key wait, never in the middle of file work.
TEST_F(DoorPeriodicTest, AnEndDueWhileOutputWaitsComesAtTheNextKeyWait) {
  static int32_t now_ms;
  for (auto [signal, used, message] : {
           std::tuple<bool, int32_t, const char*>{false, kHour, "Your Time Has Expired."},
           {true, 0, "Caller Dropped Carrier.  Returning To BBS..."}}) {
    SCOPED_TRACE(message);
    ResetEverything();
    ClockOverride([] { return now_ms; });
    SetUp();
    now_ms = 12 * kHour * 1000;
    door_session.StartTime = SecondsOfDay() - used;
    door_session.LastKeyTime = SecondsOfDay();
    door_session.LastCheckMs = now_ms - 2000;
    if (signal) HangupNote();
    EXPECT_EQ(HaltCodeOf([] {
                EXPECT_EQ(DoorRoomWait(), 0u);
                EXPECT_EQ(DoorRoomWait(), 0u) << "output stops waiting until the end has run";
              }),
              -1);
    EXPECT_EQ(FindScreenRow(message), 0);
    EXPECT_EQ(HaltCodeOf(&DoorPeriodicCheck), 0);
    EXPECT_GE(FindScreenRow(message), 1);
    EXPECT_EQ(DoorRoomWait(), 0u) << "the exit step does not wait for a stalled line";
    HangupForget();
  }
}

}  // namespace
