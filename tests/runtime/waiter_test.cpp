#include <gtest/gtest.h>

#include <thread>

#include "runtime/sockets.h"
#include "runtime/waiter.h"

namespace {

// A wait may end once without cause (Wine sets a socket's event again for a select made before a
// recv), but a socket with nothing to read must not keep ending it: the key wait would spin.
bool Quiet(WaitSource line) {
  WaitForInput(false, line, 0);
  return WaitForInput(false, line, 0) == woTimeout;
}

// Windows re-arms a socket's event only on a recv: bytes left behind must still end a wait, and no
// signal of another socket may. Time-outs only bound a failing wait.
TEST(WaitForInputTest, ASocketEndsTheWaitForEachArrivalForAWakeAndForItsHangUp) {
  constexpr uint32_t kFailAfterMs = 10'000;
  SocketHandle door[2] = {kNoSocket, kNoSocket}, caller[2] = {kNoSocket, kNoSocket};
  ASSERT_TRUE(SocketLoopbackPair(door[0], caller[0]));
  ASSERT_TRUE(SocketLoopbackPair(door[1], caller[1]));
  WaitForgetWake();
  for (int round = 0; round < 3; ++round) {
    for (int i : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "round " << round << ", socket " << i);
      const WaitSource line{wsSocket, door[i]};
      EXPECT_EQ(WaitForInput(false, line, 0), woTimeout) << "a signal of the other socket";
      ASSERT_EQ(SocketSend(caller[i], "ab", 2), 2);
      EXPECT_EQ(WaitForInput(false, line, kFailAfterMs), woReady);
      char byte = 0;
      ASSERT_EQ(SocketRecv(door[i], &byte, 1), 1);
      EXPECT_EQ(WaitForInput(false, line, kFailAfterMs), woReady) << "a byte left was not seen";
      ASSERT_EQ(SocketRecv(door[i], &byte, 1), 1);
      EXPECT_EQ(byte, 'b');
    }
  }
  // Bytes that came while the wait looked at the other socket are seen when it turns back.
  ASSERT_EQ(SocketSend(caller[0], "c", 1), 1);
  const WaitSource line{wsSocket, door[0]};
  EXPECT_EQ(WaitForInput(false, line, kFailAfterMs), woReady);
  char byte = 0;
  ASSERT_EQ(SocketRecv(door[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'c');
  std::thread waker([] { WaitWake(); });
  EXPECT_EQ(WaitForInput(false, line, kFailAfterMs), woReady);
  waker.join();
  EXPECT_TRUE(Quiet(line));
  SocketClose(caller[0]);
  EXPECT_NE(WaitForInput(false, line, kFailAfterMs), woTimeout);
  EXPECT_EQ(SocketRecv(door[0], &byte, 1), 0);
  for (int i : {0, 1}) {
    WaitForgetSocket(door[i]);
    SocketClose(door[i]);
  }
  SocketClose(caller[1]);
}

}  // namespace
