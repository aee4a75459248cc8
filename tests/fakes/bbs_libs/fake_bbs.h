// Shared parts of our fake BBS libraries (stand-ins for a BBS's DOOR32 and WCSRV in tests). The
// test says what they do through environment variables, read when they are called:
//   ZORVAN_FAKE_DOOR32_PORT  a TCP port on 127.0.0.1 where the test plays the BBS's line:
//                            DoorInitialize connects there (and fails without it); the caller's
//                            bytes come from it, the door's go to it, and the test hanging up
//                            raises the offline event.
//   ZORVAN_FAKE_WCSRV        "result,node,ansi,minutes,name": WildcatLoggedIn's result and the
//                            block it fills, GetNode's node (unset: nobody is logged in).
#pragma once
#include <cstdint>
#include <string>

// Empty when unset.
std::string FakeEnv(const char* name);
// Counts a call of the named entry point (FakeDoor32Calls reports the counts).
void FakeCount(const char* entry);
