// Stream sockets as the telnet channel needs them: a socket handed over by the BBS, waited on with a
// time-out and read and written without ever blocking the calling thread for good.
#pragma once
#include <cstdint>
#include <string>

// A socket handle as the BBS passes it (a descriptor on POSIX, a SOCKET on Windows).
using SocketHandle = int32_t;
constexpr SocketHandle kNoSocket = -1;

// The "try again" error of a socket call (WSAEWOULDBLOCK); POSIX's EAGAIN, EWOULDBLOCK and EINTR are
// reported as this number too, so the channel's rules read the same on both platforms.
constexpr int kSocketWouldBlock = 10035;

// Starts the socket library once per process (Windows: WSAStartup 1.1; POSIX: a write to a dropped
// caller must not kill the process with SIGPIPE). Later calls do nothing and succeed.
bool SocketLibraryStart();
// How many times the library was really started (0 or 1).
int SocketLibraryStarts();

// Whether the handle is an open stream socket (a number that is some other file is not one).
bool SocketIsStream(SocketHandle socket);
// Waits up to timeout_ms for the socket to be readable (or writable): 1 when it is, a hang-up and an
// error included (the next call reports them); 0 on time-out; -1 when the handle is not usable.
int SocketWait(SocketHandle socket, bool for_write, uint32_t timeout_ms);
// One recv or send with flags 0 that never waits: the count, 0 for a closed connection (recv), or -1
// with SocketLastError() set.
int SocketRecv(SocketHandle socket, void* buffer, int count);
int SocketSend(SocketHandle socket, const void* buffer, int count);
int SocketLastError();
// The system's text for an error number.
std::string SocketErrorText(int error);

// Shutdown in both directions, then close.
void SocketShutdownAndClose(SocketHandle socket);
// Closes without a shutdown.
void SocketClose(SocketHandle socket);
// Tests and benchmarks: two connected loopback TCP sockets.
bool SocketLoopbackPair(SocketHandle& a, SocketHandle& b);
