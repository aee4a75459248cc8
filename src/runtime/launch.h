// Plays the BBS's part for one call (tools/bbs_launcher): listen on a TCP port, accept one caller
// and run a door with the connected socket inherited, as a BBS hands a caller over. And hands this
// process over to a program of ours beside it.
#pragma once
#include <string>
#include <vector>

#include "runtime/sockets.h"

// Failures are told on stderr. A listening socket on the loopback interface (port 0: any free
// port), or kNoSocket; bound_port is the port actually taken.
SocketHandle LaunchListen(int port, int& bound_port);
// Waits for one caller, then closes the listener so that the door inherits only the caller.
SocketHandle LaunchAcceptOne(SocketHandle listener);
// Runs the door (the caller's socket is inherited), waits for it and gives its exit code (-1 when it
// could not be started).
int LaunchRunDoor(const std::vector<std::string>& argv);

// This program's own file, "" when the system does not say.
std::string LaunchOwnPath();
// Becomes the program argv[0] names, with these arguments, in this process (POSIX); returns only
// when it could not, with the OS error.
int LaunchReplace(const std::vector<std::string>& argv);
