// Our fake BBS libraries (DOOR32 and WCSRV) do what the test's environment says, read per call:
//   ZORVAN_FAKE_DOOR32_PORT  a port on 127.0.0.1 where the test plays the BBS's line: DoorInitialize
//                            connects there; the test hanging up raises the offline event.
//   ZORVAN_FAKE_WCSRV        "result,node,ansi,minutes,name": WildcatLoggedIn's result and the
//                            block it fills, GetNode's node (unset: nobody is logged in).
#pragma once
#include <string>

// Empty when unset.
std::string FakeEnv(const char* name);
