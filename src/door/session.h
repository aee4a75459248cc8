// The Door session: who the caller is, how to reach them, how long they may stay.
#pragma once
#include <cstdint>
#include <string>

#include "comm/channel.h"

using DoorEvent = void (*)();

// The time a caller gets when nothing says how long they may stay (local mode, a start by handle
// and node, a drop file without a usable time line).
constexpr int32_t kDefaultTimeLimit = 3600;

struct DoorSession {
  int32_t SecurityLevel = 0;
  std::string Alias;
  bool CleanMode = false;
  int32_t CommHandle = 0;
  ChannelKind Kind = ckLocal;
  bool Ansi = true;
  bool FairyOption = false;
  int32_t TimeLimit = 0;  // seconds, counted from StartTime
  int32_t Node = 0;
  std::string UserName;
  int32_t UserRecord = 0;
  int32_t LastKeyTime = 0;  // seconds since midnight
  bool ChecksEnabled = false;
  int32_t LastCheckMs = 0;
  int32_t IdleLimit = 300;
  int32_t StartTime = 0;  // seconds since midnight
  bool IdleCheck = true;
  CallerCharset Charset = ccCp437;  // the caller's terminal: CP437 or UTF-8 (-U)
  bool KeyWaitStarted = false;  // a key wait began and its first check is still to come
  int32_t KeyWaitStartMs = 0;
  // An early end that a wait for output room called for: it runs at the next key wait.
  DoorEvent EndDue = nullptr;
  // An early end or the exit step is under way: output no longer waits for room.
  bool Ending = false;

  // Event slots; called only when filled.
  DoorEvent OnCarrierLost = nullptr;
  DoorEvent OnLocalLogin = nullptr;
  DoorEvent OnStatusLine = nullptr;
  DoorEvent OnIdleTimeout = nullptr;
  DoorEvent OnTimeExpired = nullptr;
  DoorEvent OnUsage = nullptr;
};

// DoorLibraryReset and DoorSessionInit (door/library.h) put it back to its initial values.
extern DoorSession door_session;

bool DoorIsLocal();
// Runs the handler a slot holds; an empty slot does nothing.
void DoorRunEvent(DoorEvent event);
