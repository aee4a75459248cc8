#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "comm/channel.h"
#include "comm/telnet.h"
#include "fakes/game_fixture.h"
#include "fakes/wait_until.h"
#include "runtime/files.h"
#include "runtime/sockets.h"
#include "runtime/waiter.h"

namespace {

using Bytes = std::string;

// The test plays the caller on one end of a loopback connection; the door's channel has the other.
class TelnetChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SocketLoopbackPair(door_end_, caller_));
    channel_.SetThreadProcs(&ReaderProc, &WriterProc);
  }
  void TearDown() override {
    channel_.StopThreads();  // the threads use the socket until then
    if (door_end_ != kNoSocket) SocketClose(door_end_);
    if (caller_ != kNoSocket) SocketClose(caller_);
  }
  // What the caller receives until it holds n bytes.
  Bytes Receive(size_t n) {
    Bytes got;
    char buffer[4096];
    WaitUntil([&] {
      while (got.size() < n && SocketWait(caller_, false, 0) > 0) {
        int r = SocketRecv(caller_, buffer, sizeof buffer);
        if (r <= 0) return true;
        got.append(buffer, static_cast<size_t>(r));
      }
      return got.size() >= n;
    });
    return got;
  }
  SocketHandle door_end_ = kNoSocket, caller_ = kNoSocket;
  TelnetChannel channel_;
};

// The announcements first; then a block larger than a queue, with 255s among it, arrives whole
// with each 255 doubled (the writer may stop between the two halves).
TEST_F(TelnetChannelTest, LargeWritesArriveWholeWithEvery255Doubled) {
  channel_.Attach(door_end_);
  ASSERT_FALSE(channel_.ErrorFlag);
  EXPECT_EQ(Receive(6), Bytes("\xff\xfb\x01\xff\xfb\x00", 6));
  EXPECT_EQ(SocketLibraryStarts(), 1);
  Bytes text, expected;
  for (int i = 0; i < 50'000; ++i) text.push_back(static_cast<char>(i % 7 == 0 ? 255 : 'a' + i % 26));
  for (char c : text) expected.append(c == '\xff' ? 2 : 1, c);
  int32_t written = 0;
  channel_.WriteBlock(text.data(), static_cast<int32_t>(text.size()), written);
  EXPECT_EQ(written, static_cast<int32_t>(text.size()));
  EXPECT_EQ(Receive(expected.size()), expected);
}

// A handle that is some other open file (a COM port number taken for a socket) gets no bytes.
TEST_F(TelnetChannelTest, AHandleThatIsNoSocketHasNoCarrierAndIsNotWritten) {
  TempGameDir dir;
  dir.WriteFile("NOTASOCK", "");
  OsFile file;
  ASSERT_TRUE(FileOpen(file, dir.PathOf("NOTASOCK"), faReadWrite));
  channel_.Attach(static_cast<int32_t>(file.Native()));
  EXPECT_TRUE(channel_.ErrorFlag);
  EXPECT_FALSE(channel_.Carrier());
  FileClose(file);
  EXPECT_EQ(dir.ReadFile("NOTASOCK"), "");
}

// Once the reader has taken the bytes only its wake ends the key wait. Time-outs only bound a
// failing wait.
TEST_F(TelnetChannelTest, KeyWaitWakesOnCallerBytesOnTheReaderAndOnAWake) {
  constexpr uint32_t kFailAfterMs = 10'000;
  channel_.Attach(door_end_);
  Receive(6);  // the two announcements
  while (WaitForInput(false, {}, 0) != woTimeout) {
  }  // wakes left from earlier tests
  EXPECT_EQ(WaitForInput(false, channel_.MainWaitSource(), 0), woTimeout);
  ASSERT_EQ(SocketSend(caller_, "k", 1), 1);
  ASSERT_EQ(channel_.MainWaitSource().kind, wsSocket);
  EXPECT_EQ(WaitForInput(false, channel_.MainWaitSource(), kFailAfterMs), woReady);
  channel_.CharReady();  // asks the reader
  ASSERT_TRUE(WaitUntil([&] { return channel_.InUsed() == 1; }));
  EXPECT_EQ(WaitForInput(false, channel_.MainWaitSource(), kFailAfterMs), woReady);
  EXPECT_EQ(channel_.ReadChar(), 'k');

  std::atomic<bool> stop{false};
  std::thread waker([&] {
    while (!stop) WaitWake();
  });
  int ended = 0;
  while (ended < 5'000 && WaitForInput(false, {}, kFailAfterMs) == woReady) ++ended;
  stop = true;
  waker.join();
  EXPECT_EQ(ended, 5'000) << "a wake was lost";

  SocketClose(caller_);
  caller_ = kNoSocket;
  // Carrier only reports: the key path's look at the line finds the hang-up.
  ASSERT_TRUE(WaitUntil([&] {
    channel_.CharReady();
    return !channel_.Carrier();
  }));
  EXPECT_EQ(channel_.MainWaitSource().kind, wsNone);
  EXPECT_EQ(channel_.LastError().rfind("Error in communications(1), #", 0), 0u)
      << channel_.LastError();
}

}  // namespace
