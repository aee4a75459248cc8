// The checks that run while a key is awaited: carrier, idle time, time left and the status line;
// and the three early ends.
#include "door/periodic.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "comm/channel.h"
#include "comm/local_screen.h"
#include "door/helpers.h"
#include "door/output.h"
#include "door/session.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/signals.h"

const char* const kLibraryBanner = "Ostrelk v3.08.30";

namespace {

constexpr int32_t kCheckIntervalMs = 1'000;
constexpr int32_t kClockStepMs = 10;
constexpr uint32_t kEarlyEndWaitMs = 1'500;
constexpr uint8_t kFrameAttr = 30;  // yellow on blue
constexpr uint8_t kTextAttr = 31;   // white on blue
constexpr int kStatusRow = kConsoleRows;
constexpr std::string_view kCarrierLostText = "   Caller Dropped Carrier.  Returning To BBS...";

std::string TwoDigits(int32_t part) { return PadLeft(IntToStr(part), '0', 2); }

// Shown to the caller and the sysop alike, then the door gives the caller back to the BBS.
[[noreturn]] void EndWithMessage(std::string_view message) {
  door_session.Ending = true;  // the message goes only if the line has room for it
  DoorSetAttr(15);
  DoorClearScreen();
  DoorNewLine();
  DoorWriteLn(message);
  DoorEndAfterPause();
}

// A key wait begins: the check comes this soon, whatever the time since the last one, so that a
// caller who hung up during the output before it is noticed now. The short delay gives the
// channel's reader, woken by the wait's first polls, time to see the hang-up.
constexpr int32_t kWaitStartCheckMs = 50;

}  // namespace

int32_t DoorIdleSeconds() { return SecondsElapsed(door_session.LastKeyTime, SecondsOfDay()); }

int32_t DoorTimeLeft() {
  return door_session.TimeLimit - SecondsElapsed(door_session.StartTime, SecondsOfDay());
}

bool DoorCarrierOk() { return DoorIsLocal() || ChannelCarrier(); }

// Two digits a part: a part of 100 or more shows as 99 in every part (99:59, 99:59:59) rather than
// as digits cut off.
std::string FormatMinSec(int32_t seconds) {
  seconds = std::clamp(seconds, 0, 99 * 60 + 59);
  return TwoDigits(seconds / 60) + ":" + TwoDigits(seconds % 60);
}

std::string FormatHourMinSec(int32_t seconds) {
  seconds = std::clamp(seconds, 0, 99 * 3600 + 59 * 60 + 59);
  return TwoDigits(seconds / 3600) + ":" + FormatMinSec(seconds % 3600);
}

void DoorKeyWaitBegins() {
  door_session.KeyWaitStarted = true;
  door_session.KeyWaitStartMs = MsOfDay();
}

void DoorCheckSoon() {
  if (!door_session.KeyWaitStarted) DoorKeyWaitBegins();
}

uint32_t DoorMsUntilCheck() {
  if (!door_session.ChecksEnabled) return kCheckIntervalMs;
  // The clock moves in hundredths, so the gate opens one step after the interval.
  const int32_t now = MsOfDay();
  int32_t until = kCheckIntervalMs + kClockStepMs - MsElapsed(door_session.LastCheckMs, now);
  if (door_session.KeyWaitStarted)
    until = std::min(until, kWaitStartCheckMs - MsElapsed(door_session.KeyWaitStartMs, now));
  return static_cast<uint32_t>(std::clamp(until, 0, kCheckIntervalMs));
}

namespace {

// Whether the once-a-second part of the check is due: the gate, or the first check of a key wait.
bool CheckDue(int32_t now) {
  const bool wait_check = door_session.KeyWaitStarted &&
                          MsElapsed(door_session.KeyWaitStartMs, now) >= kWaitStartCheckMs;
  return wait_check || MsElapsed(door_session.LastCheckMs, now) > kCheckIntervalMs;
}

// The end that the carrier, the idle time and the time left call for now, in that order (the first
// whose slot is filled), or none.
DoorEvent DueEnd() {
  if (!DoorCarrierOk() && door_session.OnCarrierLost != nullptr) return door_session.OnCarrierLost;
  if (!DoorIsLocal() && door_session.IdleCheck && DoorIdleSeconds() > door_session.IdleLimit &&
      door_session.OnIdleTimeout != nullptr)
    return door_session.OnIdleTimeout;
  if (DoorTimeLeft() < 1 && door_session.OnTimeExpired != nullptr)
    return door_session.OnTimeExpired;
  return nullptr;
}

}  // namespace

void DoorPeriodicCheck() {
  if (!door_session.ChecksEnabled) return;
  // An end that a wait for output room called for, and a hang-up signal, are looked at on every
  // poll: this is a key wait, the safe point to end.
  DoorRunEvent(std::exchange(door_session.EndDue, nullptr));
  if (HangupSignalled()) DoorRunEvent(door_session.OnCarrierLost);
  const int32_t now = MsOfDay();
  if (!CheckDue(now)) return;
  door_session.KeyWaitStarted = false;
  DoorRunEvent(DueEnd());
  DoorRunEvent(door_session.OnStatusLine);
  door_session.LastCheckMs = now;
}

// A signal stops the wait even before the checks are on: the end then comes at their first key
// wait, and meanwhile output to a line that takes nothing does not hold the program.
uint32_t DoorRoomWait() {
  if (door_session.Ending || door_session.EndDue != nullptr) return 0;
  DoorEvent end = HangupSignalled() ? door_session.OnCarrierLost : nullptr;
  if (end == nullptr && !door_session.ChecksEnabled) return kCheckIntervalMs;
  const int32_t now = MsOfDay();
  if (end == nullptr && CheckDue(now)) {
    door_session.KeyWaitStarted = false;
    end = DueEnd();
    if (end == nullptr) {
      DoorRunEvent(door_session.OnStatusLine);
      ConsolePresent();  // the sysop sees the time run on while the caller's line is full
      door_session.LastCheckMs = now;
    }
  }
  if (end != nullptr) {
    door_session.EndDue = end;
    return 0;
  }
  return std::max<uint32_t>(DoorMsUntilCheck(), 1);
}

// Row 25 of the sysop's screen only; the cursor and colours of the text window stay as they are.
void DoorStatusLine() {
  std::string frame(kConsoleColumns, ' ');
  for (int column : {1, 29, 49, 63, 80}) frame[static_cast<size_t>(column - 1)] = '\xFE';
  ConsoleWriteAt(frame, 1, kStatusRow, kFrameAttr);
  const std::string_view name = door_session.UserName;
  ConsoleWriteAt(PadRight(name.substr(0, kShortStringMax), ' ', 22), 3, kStatusRow, kTextAttr);
  ConsoleWriteAt(kLibraryBanner, 31, kStatusRow, kTextAttr);
  ConsoleWriteAt(PadRight("Idle: " + FormatMinSec(DoorIdleSeconds()), ' ', 11), 51, kStatusRow,
                 kTextAttr);
  ConsoleWriteAt("Left: " + FormatHourMinSec(DoorTimeLeft()), 65, kStatusRow, kTextAttr);
}

// The caller is gone, so only the sysop is told. A hang-up signal may come while the caller is
// still on the line (the BBS stopping the node): then they read why their session ended, as with the
// other ends.
void CarrierLost() {
  if (HangupSignalled() && ChannelCarrier()) EndWithMessage(kCarrierLostText);
  ConsoleSetAttr(15);
  LocalWriteAnsi("\x1b[2J\x1b[1;1f\r\n");
  LocalWriteAnsi(kCarrierLostText);
  DoorEndAfterPause();
}

void DoorEndAfterPause() {
  door_session.Ending = true;  // a line that takes nothing no longer holds the end up
  DoorFlushOutput();  // seen during the wait, not only at exit
  SleepMs(kEarlyEndWaitMs);
  Halt(0);
}

void IdleTimeout() { EndWithMessage("  Idle Time Limit Exceeded.  Returning To BBS..."); }

void TimeExpired() { EndWithMessage("  Your Time Has Expired.  Returning To BBS..."); }
