// The WINServer side of a DOOR32 caller: the BBS's WCSRV library says who is logged in on this
// door's node.
#pragma once
#include <cstdint>
#include <string>

#include "comm/door32_library.h"

// The parts of WCSRV's user block that the door uses.
struct WinServerUser {
  std::string UserName;  // up to 71 characters
  std::string Alias;     // the name's first word
  bool Ansi = true;
  int32_t TimeLimit = 0;  // seconds
};

// Binds the library (once; it is never unloaded). False when it is missing or lacks one of its two
// entry points.
bool LoadWinServer();
// The library's answer for the 900-byte block, or 0 (nobody) when it is not loaded.
int32_t WildcatLoggedIn(uint8_t (&user_block)[kWinServerUserSize]);
// The node of this door's line, or 0 when the library is not loaded.
int32_t GetNode();

// Reads the name, the ANSI flag and the minutes left out of a filled block.
WinServerUser WinServerUserFromBlock(const uint8_t (&user_block)[kWinServerUserSize]);
