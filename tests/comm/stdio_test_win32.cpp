// The -S channel on Windows, in process, with a socket as both standard handles, as a BBS may hand
// one over (bytes, pipes and the door's end: the black-box legs under Wine). The test plays the
// caller on the other end; the C runtime's own stdout, where the test's report goes, keeps the
// handle it started with.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>


#include "comm/channel.h"
#include "comm/stdio.h"
#include "fakes/wait_until.h"
#include "runtime/sockets.h"
#include "runtime/waiter.h"

namespace {

// Sockets that ReadFile and WriteFile can use without an OVERLAPPED record, as a BBS makes the
// ones it hands over as standard handles (socket() makes overlapped ones).
bool SynchronousPair(SOCKET& door, SOCKET& caller) {
  SocketLibraryStart();
  auto stream = [] { return WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0); };
  SOCKET listener = stream();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  auto* any = reinterpret_cast<sockaddr*>(&address);
  if (listener != INVALID_SOCKET && bind(listener, any, length) == 0 &&
      listen(listener, 1) == 0 && getsockname(listener, any, &length) == 0) {
    caller = stream();
    if (caller != INVALID_SOCKET && connect(caller, any, length) == 0)
      door = accept(listener, nullptr, nullptr);
  }
  if (listener != INVALID_SOCKET) closesocket(listener);
  return door != INVALID_SOCKET;
}

// A key on the socket wakes the key wait (the black-box legs cannot tell that from the periodic
// check's wake), and the caller's end closing drops the carrier.
TEST(StdioChannelWin32Test, ASocketsKeyWakesTheKeyWaitAndItsEndDropsTheCarrier) {
  SOCKET door = INVALID_SOCKET, caller_socket = INVALID_SOCKET;
  ASSERT_TRUE(SynchronousPair(door, caller_socket));
  const auto caller = static_cast<SocketHandle>(caller_socket);
  const HANDLE saved_in = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE saved_out = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(door));
  SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(door));
  {
    StdioChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(0);
    ASSERT_TRUE(channel.Ok()) << channel.LastError();
    ASSERT_TRUE(WaitUntil([&] { return channel.MainWaitSource().kind == wsHandle; }));
    // Quiet once the reader's last step has woken it (a wake may still be on its way).
    EXPECT_TRUE(WaitUntil(
        [&] { return WaitForInput(false, channel.MainWaitSource(), 0) == woTimeout; }));
    ASSERT_EQ(SocketSend(caller, "k", 1), 1);
    EXPECT_EQ(WaitForInput(false, channel.MainWaitSource(), 10'000), woReady);
    ASSERT_TRUE(WaitUntil([&] { return channel.CharReady(); }));
    EXPECT_EQ(channel.ReadChar(), 'k');
    shutdown(caller_socket, SD_SEND);
    EXPECT_TRUE(WaitUntil([&] { return !channel.Carrier(); }));
    EXPECT_EQ(channel.MainWaitSource().kind, wsNone);
  }
  SetStdHandle(STD_INPUT_HANDLE, saved_in);
  SetStdHandle(STD_OUTPUT_HANDLE, saved_out);
  SocketClose(static_cast<SocketHandle>(door));
  SocketClose(caller);
}

}  // namespace
