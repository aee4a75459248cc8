#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "comm/byte_queue.h"
#include "comm/channel.h"
#include "comm/telnet.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/sockets.h"
#include "fakes/wait_until.h"

namespace {

using Bytes = std::string;

TEST(ByteQueueTest, PutAndGetKeepOrderAcrossTheMoveToTheFront) {
  ByteQueue queue(8);
  EXPECT_EQ(queue.Put("abcde", 5), 5);
  char out[16] = {};
  EXPECT_EQ(queue.Get(out, 2, false), 2);  // a peek leaves them
  EXPECT_EQ(queue.Get(out, 3, true), 3);
  EXPECT_EQ(std::string(out, 3), "abc");
  EXPECT_EQ(queue.Put("123456789", 9), 6);  // only the free space; moves "de" to the front
  EXPECT_EQ(queue.Free(), 0);
  EXPECT_EQ(queue.Put("x", -1), 0);
  EXPECT_EQ(queue.Get(out, -1, true), 0);
  EXPECT_EQ(queue.Get(out, 16, true), 8);
  EXPECT_EQ(std::string(out, 8), "de123456");
  EXPECT_EQ(queue.Count(), 0);
}

// The reader thread's Put and the main thread's Get at full speed: nothing lost, nothing reordered.
TEST(ByteQueueTest, ConcurrentPutAndGetLoseNothing) {
  ByteQueue queue(ByteQueue::kChannelCapacity);
  constexpr int kTotal = 2'000'000;
  std::thread producer([&] {
    uint8_t chunk[700];
    for (int sent = 0; sent < kTotal;) {
      int n = std::min<int>(sizeof chunk, kTotal - sent);
      for (int i = 0; i < n; ++i) chunk[i] = static_cast<uint8_t>((sent + i) % 251);
      sent += queue.Put(chunk, n);  // a full queue takes less: the rest is offered again
    }
  });
  uint8_t in[1000];
  for (int got = 0; got < kTotal;) {
    int n = queue.Get(in, sizeof in, true);
    for (int i = 0; i < n; ++i) ASSERT_EQ(in[i], (got + i) % 251) << "at byte " << got + i;
    got += n;
  }
  producer.join();
}

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
  void Send(const Bytes& bytes) {
    ASSERT_EQ(SocketSend(caller_, bytes.data(), static_cast<int>(bytes.size())),
              static_cast<int>(bytes.size()));
  }
  SocketHandle door_end_ = kNoSocket, caller_ = kNoSocket;
  TelnetChannel channel_;
};

TEST_F(TelnetChannelTest, AnnouncesFirstThenFiltersInputAndAnswersNegotiation) {
  channel_.Attach(door_end_);
  ASSERT_FALSE(channel_.ErrorFlag);
  EXPECT_EQ(Receive(6), Bytes("\xff\xfb\x01\xff\xfb\x00", 6));
  EXPECT_FALSE(channel_.StartThreads()) << "a second start must fail";
  Send(Bytes("ab\xff\xff\xff\xfd\x1f" "c", 8));
  Bytes keys;
  ASSERT_TRUE(WaitUntil([&] {
    while (channel_.CharReady()) keys.push_back(channel_.ReadChar());
    return keys.size() >= 4;
  }));
  EXPECT_EQ(keys, "ab\xff" "c");
  EXPECT_EQ(Receive(3), "\xff\xfc\x1f");
  EXPECT_EQ(SocketLibraryStarts(), 1);
}

// More than a queue holds, with 255s among it: every byte arrives, each 255 doubled on the wire.
TEST_F(TelnetChannelTest, LargeWritesArriveWholeWithEvery255Doubled) {
  channel_.Attach(door_end_);
  Receive(6);
  Bytes text;
  for (int i = 0; i < 50'000; ++i) text.push_back(static_cast<char>(i % 7 == 0 ? 255 : 'a' + i % 26));
  int32_t written = 0;
  channel_.WriteBlock(text.data(), static_cast<int32_t>(text.size()), written);
  EXPECT_EQ(written, static_cast<int32_t>(text.size()));
  Bytes expected;
  for (char c : text) {
    expected.push_back(c);
    if (c == '\xff') expected.push_back(c);
  }
  EXPECT_EQ(Receive(expected.size()), expected);
}

TEST_F(TelnetChannelTest, AHangUpDropsTheCarrierAndTheSocketOutlivesTheChannel) {
  {
    TelnetChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(door_end_);
    Receive(6);
    EXPECT_TRUE(channel.Carrier());
  }
  // Destroyed: the BBS's socket is still open and usable.
  Send("x");
  char byte = 0;
  ASSERT_EQ(SocketWait(door_end_, false, 5000), 1);
  EXPECT_EQ(SocketRecv(door_end_, &byte, 1), 1);

  channel_.Attach(door_end_);
  Receive(6);
  SocketClose(caller_);
  caller_ = kNoSocket;
  EXPECT_TRUE(WaitUntil([&] { return !channel_.Carrier(); }));
  EXPECT_EQ(channel_.LastError().rfind("Error in communications(1), #", 0), 0u)
      << channel_.LastError();
  int32_t written = 0;
  channel_.WriteBlock("late", 4, written);  // returns: the caller is gone, nothing to wait for
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

TEST(ChannelEntriesTest, OneTelnetChannelPerProcessAndNoneForOtherKinds) {
  ChannelOpen(static_cast<ChannelKind>(9));
  EXPECT_EQ(ActiveChannel(), nullptr);
  EXPECT_FALSE(ChannelCarrier());
  ChannelClose();
  ChannelOpen(ckTelnet);
  CommChannel* first = ActiveChannel();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Kind(), ckTelnet);
  ChannelOpen(ckTelnet);
  EXPECT_EQ(ActiveChannel(), first);
  ChannelClose();
  EXPECT_EQ(ActiveChannel(), nullptr);
}

}  // namespace
