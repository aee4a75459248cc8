#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "comm/byte_queue.h"
#include "comm/channel.h"
#include "comm/telnet.h"
#include "fakes/wait_until.h"
#include "runtime/waiter.h"

namespace {

using Bytes = std::string;

// The test plays the caller on one end of a loopback connection; the door's channel has the other.
// The announcements first; then a block larger than a queue, with 255s among it, arrives whole
// with each 255 doubled (the writer may stop between the two halves). Once the reader has taken
// the bytes only its wake ends the key wait; no wake is lost; the key path's look at the line
// finds the hang-up. Time-outs only bound a failing wait.
TEST(TelnetChannelTest, WholeWritesAndAKeyWaitThatWakesOnTheCallerTheReaderAndAWake) {
  constexpr uint32_t kFailAfterMs = 10'000;
  SocketHandle door_end = kNoSocket, caller = kNoSocket;
  ASSERT_TRUE(SocketLoopbackPair(door_end, caller));
  TelnetChannel channel;
  channel.SetThreadProcs(&ReaderProc, &WriterProc);
  channel.Attach(door_end);
  EXPECT_EQ(ReceiveUntil(caller, 6), Bytes("\xff\xfb\x01\xff\xfb\x00", 6));
  Bytes text, expected;
  for (int i = 0; i < 50'000; ++i) text.push_back(static_cast<char>(i % 7 == 0 ? 255 : 'a' + i % 26));
  for (char c : text) expected.append(c == '\xff' ? 2 : 1, c);
  int32_t written = 0;
  channel.WriteBlock(text.data(), static_cast<int32_t>(text.size()), written);
  EXPECT_EQ(written, static_cast<int32_t>(text.size()));
  EXPECT_EQ(ReceiveUntil(caller, expected.size()), expected);

  // Quiet once the wakes of the writes and of earlier tests are taken (one may still be on its way).
  EXPECT_TRUE(WaitUntil(
      [&] { return WaitForInput(false, channel.MainWaitSource(), 0) == woTimeout; }));
  ASSERT_EQ(SocketSend(caller, "k", 1), 1);
  EXPECT_EQ(WaitForInput(false, channel.MainWaitSource(), kFailAfterMs), woReady);
  channel.CharReady();  // asks the reader
  ASSERT_TRUE(WaitUntil([&] { return channel.InUsed() == 1; }));
  EXPECT_EQ(WaitForInput(false, channel.MainWaitSource(), kFailAfterMs), woReady);
  EXPECT_EQ(channel.ReadChar(), 'k');

  std::atomic<bool> stop{false};
  std::thread waker([&] {
    while (!stop) WaitWake();
  });
  int ended = 0;
  while (ended < 5'000 && WaitForInput(false, {}, kFailAfterMs) == woReady) ++ended;
  stop = true;
  waker.join();
  EXPECT_EQ(ended, 5'000) << "a wake was lost";

  SocketClose(caller);
  ASSERT_TRUE(WaitUntil([&] { return !channel.CharReady() && !channel.Carrier(); }));
  EXPECT_EQ(channel.MainWaitSource().kind, wsNone);
  // An orderly end (1) or, when the stack resets the line (seen under Wine), an error (2).
  EXPECT_EQ(channel.LastError().rfind("Error in communications(", 0), 0u) << channel.LastError();
  channel.StopThreads();  // the threads use the socket until then
  SocketClose(door_end);
}

// Keys read one at a time while more arrive: a put that does not fit behind the unread bytes
// moves them to the front, whole (timing decides whether a channel test gets there).
TEST(ByteQueueTest, APutPastTheEndKeepsTheUnreadRun) {
  ByteQueue queue(8);
  char out[8] = {};
  ASSERT_EQ(queue.Put("abcdef", 6), 6);
  ASSERT_EQ(queue.Get(out, 3, true), 3);
  ASSERT_EQ(queue.Put("ghij", 4), 4);
  ASSERT_EQ(queue.Get(out, 8, true), 7);
  EXPECT_EQ(std::string(out, 7), "defghij");
}

}  // namespace
