// The telnet channel's hand-back on Windows: the key wait's WSAEventSelect makes the socket
// non-blocking, and the BBS must get it back as it gave it.
#include <winsock2.h>

#include <gtest/gtest.h>

#include "comm/channel.h"
#include "comm/telnet.h"
#include "fakes/wait_until.h"
#include "runtime/sockets.h"
#include "runtime/waiter.h"

namespace {

// With nothing to read and a receive time-out, a blocking socket times out (WSAETIMEDOUT) and a
// non-blocking one says so at once (WSAEWOULDBLOCK): no clock is read.
int EmptyRecvError(SocketHandle socket) {
  const auto native = static_cast<SOCKET>(socket);
  DWORD limit_ms = 50;
  setsockopt(native, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit_ms),
             sizeof limit_ms);
  char byte = 0;
  return recv(native, &byte, 1, MSG_PEEK) == SOCKET_ERROR ? WSAGetLastError() : 0;
}

TEST(TelnetChannelWin32Test, TheKeyWaitOnTheSocketAndTheSocketGoesBackBlocking) {
  SocketHandle door = kNoSocket, caller = kNoSocket;
  ASSERT_TRUE(SocketLoopbackPair(door, caller));
  ASSERT_EQ(EmptyRecvError(door), WSAETIMEDOUT);
  {
    TelnetChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(door);
    ASSERT_TRUE(WaitUntil([&] { return channel.MainWaitSource().kind == wsSocket; }));
    ASSERT_EQ(SocketSend(caller, "k", 1), 1);
    EXPECT_EQ(WaitForInput(false, channel.MainWaitSource(), 10'000), woReady);
    ASSERT_TRUE(WaitUntil([&] { return channel.CharReady(); }));
    EXPECT_EQ(channel.ReadChar(), 'k');
  }
  EXPECT_EQ(EmptyRecvError(door), WSAETIMEDOUT) << "the BBS got its socket back non-blocking";
  SocketClose(door);
  SocketClose(caller);
}

}  // namespace
