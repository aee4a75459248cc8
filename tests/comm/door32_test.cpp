// The DOOR32 channel and the WINServer start-up against our fake BBS libraries. CTest runs this
// with ZORVAN_FAKE_LIBS naming the libraries it can find: "full", "none", "wcsrv_lacking" or
// "door32_lacking" (a library lacking one entry point).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "comm/channel.h"
#include "comm/door32.h"
#include "comm/winserver.h"
#include "door/periodic.h"
#include "door/session.h"
#include "door/startup.h"
#include "door32_test_env.h"
#include "fakes/door_harness.h"
#include "fakes/screen_text.h"
#include "runtime/halt.h"
#include "runtime/launch.h"
#include "runtime/sockets.h"
#include "fakes/wait_until.h"

namespace {

std::string FakeLibs() {
  const char* libs = std::getenv("ZORVAN_FAKE_LIBS");
  return libs != nullptr ? libs : "unset: run through ctest";
}

// How often the fake DOOR32 saw a call of the entry point (through its own counter).
int32_t FakeCalls(const char* entry) {
  static LibraryHandle fake = LibraryLoad(LibraryFileName("DOOR32"));
  using CallsProc = int32_t (*)(const char*);
  auto calls = reinterpret_cast<CallsProc>(LibraryEntry(fake, "FakeDoor32Calls"));
  return calls != nullptr ? calls(entry) : -1;
}

// The BBS's end of the caller's line: the fake DOOR32 connects to it when initialised.
class FakeLine {
 public:
  FakeLine() {
    int port = 0;
    listener_ = LaunchListen(0, port);
    SetTestEnv("ZORVAN_FAKE_DOOR32_PORT", std::to_string(port).c_str());
  }
  ~FakeLine() {
    if (listener_ != kNoSocket) SocketClose(listener_);
    HangUp();
  }
  // True once the fake has connected (within wait_ms).
  bool Accept(uint32_t wait_ms = 10'000) {
    if (listener_ == kNoSocket || SocketWait(listener_, false, wait_ms) <= 0) return false;
    socket_ = LaunchAcceptOne(listener_);  // closes the listener
    listener_ = kNoSocket;
    return socket_ != kNoSocket;
  }
  void Send(const std::string& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
      SocketWait(socket_, true, 1'000);
      const int r = SocketSend(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
      ASSERT_TRUE(r > 0 || SocketLastError() == kSocketWouldBlock);
      if (r > 0) sent += static_cast<size_t>(r);
    }
  }
  std::string Receive(size_t n) {
    std::string got;
    char buffer[4096];
    WaitUntil([&] {
      while (got.size() < n && SocketWait(socket_, false, 0) > 0) {
        const int r = SocketRecv(socket_, buffer, sizeof buffer);
        if (r <= 0) return true;
        got.append(buffer, static_cast<size_t>(r));
      }
      return got.size() >= n;
    });
    return got;
  }
  void HangUp() {
    if (socket_ != kNoSocket) SocketShutdownAndClose(socket_);
    socket_ = kNoSocket;
  }

 private:
  SocketHandle listener_ = kNoSocket, socket_ = kNoSocket;
};

std::string Pattern(size_t n, int step) {
  std::string bytes(n, '\0');
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * step) % 256);
  return bytes;
}

TEST(WinServerUserTest, BlockFieldsGiveTheSession) {
  struct Case {
    std::string name_field;  // up to 72 bytes at 8; the rest of the field is zeros
    int32_t ansi, minutes;
    std::string user_name, alias;
    bool ansi_on;
    int32_t time_limit;
  };
  const std::string full(72, 'Q');
  const int32_t most = std::numeric_limits<int32_t>::max();
  const std::vector<Case> cases = {
      {full, 0, 30, full.substr(0, 71), full, true, 1'800},
      {"Ann Caller", 1, 0, "Ann Caller", "Ann", false, 0},
      {"Zed", -1, most, "Zed", "Zed", false, most},  // no filler zeros in the alias; no overflow
      {" Lead", 0, -5, " Lead", "", true, -300},
      {std::string("Bo\0 Ike", 7), 0, 1, "Bo", "Bo", true, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user_name);
    uint8_t block[kWinServerUserSize];
    std::fill(std::begin(block), std::end(block), uint8_t{0xA5});
    std::fill(block + 8, block + 80, uint8_t{0});
    std::copy(c.name_field.begin(), c.name_field.end(), block + 8);
    for (int i = 0; i < 4; ++i) {
      block[700 + i] = static_cast<uint8_t>(static_cast<uint32_t>(c.ansi) >> (8 * i));
      block[832 + i] = static_cast<uint8_t>(static_cast<uint32_t>(c.minutes) >> (8 * i));
    }
    const WinServerUser user = WinServerUserFromBlock(block);
    EXPECT_EQ(user.UserName, c.user_name);
    EXPECT_EQ(user.Alias, c.alias);
    EXPECT_EQ(user.Ansi, c.ansi_on);
    EXPECT_EQ(user.TimeLimit, c.time_limit);
  }
}

class Door32LoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallHaltCatcher();
    ResetDoorLibrary();
    DoorSessionInit();
    SetTestEnv("ZORVAN_FAKE_WCSRV", "1,4,0,30,Ann Caller");
  }
  void TearDown() override {
    ChannelClose();
    ExitProc = nullptr;
  }
  int Start(const char* option) {
    std::string program = "zv", arg = option;
    char* argv[] = {program.data(), arg.data()};
    try {
      DoorStartup(2, argv);
    } catch (const HaltSignal& halt) {
      return halt.code;
    }
    return -1;
  }
};

// A library that is missing or lacks an entry point is never called: the channel has no carrier,
// and the WINServer start ends with "No Carrier Detected". Whole libraries start the session.
TEST_F(Door32LoadTest, OnlyWholeLibrariesStartTheSession) {
  const std::string libs = FakeLibs();
  ASSERT_TRUE(libs == "full" || libs == "none" || libs == "wcsrv_lacking" ||
              libs == "door32_lacking")
      << libs;
  const bool door32 = libs == "full" || libs == "wcsrv_lacking";
  const bool wcsrv = libs == "full" || libs == "door32_lacking";
  const int32_t shutdowns = FakeCalls("DoorShutdown");
  {
    FakeLine line;
    Door32Channel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    EXPECT_EQ(channel.ErrorFlag, !door32);
    channel.Attach(1);
    EXPECT_EQ(line.Accept(door32 ? 10'000 : 0), door32);  // a library connects at once
    EXPECT_EQ(channel.Carrier(), door32);
    EXPECT_EQ(channel.Open(0), door32);  // the ready flag; the threads run already
    if (!door32) {
      line.HangUp();
      EXPECT_FALSE(channel.CharReady());
      EXPECT_EQ(channel.LastError(), "");
      int32_t written = 0;
      channel.WriteBlock("lost", 4, written);  // queued for nobody, never handed to a library
      EXPECT_EQ(written, 4);
    }
  }
  if (door32) {
    EXPECT_EQ(FakeCalls("DoorShutdown"), shutdowns + 1);
  }
  EXPECT_EQ(LoadWinServer(), wcsrv);

  FakeLine line;
  const int code = Start("-W");
  if (door32 && wcsrv) {
    ASSERT_EQ(code, -1) << ScreenRow(2);
    const DoorSession& s = door_session;
    EXPECT_EQ(std::make_tuple(s.Kind, s.UserName, s.Alias, s.Ansi, s.TimeLimit, s.Node),
              std::make_tuple(ckDoor32, std::string("Ann Caller"), std::string("Ann"), true,
                              1'800, 4));
    ASSERT_TRUE(line.Accept());
    // The caller hangs up: the next key wait ends the door with the carrier message.
    line.HangUp();
    int ended = -1;
    WaitUntil([&] {
      try {
        DoorKeyWaitBegins();
        for (int i = 0; i < 100; ++i) DoorPeriodicCheck();
      } catch (const HaltSignal& halt) {
        ended = halt.code;
      }
      return ended != -1;
    });
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(ScreenRow(2), "   Caller Dropped Carrier.  Returning To BBS...");
  } else {
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ScreenRow(2), "  No Carrier Detected");
    EXPECT_FALSE(door_session.ChecksEnabled);
  }
}

// The test plays the BBS's line behind a whole fake DOOR32.
class Door32ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(FakeLibs(), "full");
    channel_ = std::make_unique<Door32Channel>();
    channel_->SetThreadProcs(&ReaderProc, &WriterProc);
    channel_->Attach(1);
    ASSERT_FALSE(channel_->ErrorFlag);
    ASSERT_TRUE(line_.Accept());
  }
  std::string ReadAll(size_t n) {
    std::string got;
    char buffer[3000];
    WaitUntil([&] {
      if (channel_->CharReady()) {
        int32_t read = 0;
        const int32_t want = std::min<int32_t>(sizeof buffer, channel_->InUsed());
        channel_->ReadBlock(buffer, want, read);
        got.append(buffer, static_cast<size_t>(read));
      }
      return got.size() >= n;
    });
    return got;
  }
  FakeLine line_;
  std::unique_ptr<Door32Channel> channel_;
};

// More than a queue holds, every byte value, both ways.
TEST_F(Door32ChannelTest, BytesFlowBothWays) {
  const std::string in = Pattern(40'000, 7), out = Pattern(40'000, 13);
  line_.Send(in);
  EXPECT_TRUE(ReadAll(in.size()) == in);
  int32_t written = 0;
  channel_->WriteBlock(out.data(), static_cast<int32_t>(out.size()), written);
  EXPECT_EQ(written, static_cast<int32_t>(out.size()));
  EXPECT_TRUE(line_.Receive(out.size()) == out);
  EXPECT_EQ(channel_->Handle(), 1);
  EXPECT_TRUE(channel_->Carrier());
}

// Queued bytes answer CharReady without the library; a read step that finds nothing leaves them.
TEST_F(Door32ChannelTest, QueuedBytesAreNotAskedForAgainNorDisturbedByAnEmptyRead) {
  line_.Send("xy");
  ASSERT_TRUE(WaitUntil([&] { return channel_->CharReady() && channel_->InUsed() == 2; }));
  const int32_t asked = FakeCalls("DoorGetAvailableEventHandle");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(channel_->CharReady());
  EXPECT_EQ(FakeCalls("DoorGetAvailableEventHandle"), asked);
  // Two more read steps with nothing waiting (the second begins after the first has finished).
  for (int step = 0; step < 2; ++step) {
    const int32_t reads = FakeCalls("DoorRead");
    int32_t in_free, out_free, in_used, out_used;
    channel_->GetBufferStatus(in_free, out_free, in_used, out_used);  // wakes the reader
    ASSERT_TRUE(WaitUntil([&] { return FakeCalls("DoorRead") > reads; }));
  }
  EXPECT_EQ(channel_->InUsed(), 2);
  char got[2] = {};
  int32_t read = 0;
  channel_->ReadBlock(got, 2, read);
  EXPECT_EQ(std::string(got, static_cast<size_t>(read)), "xy");
}

TEST_F(Door32ChannelTest, OfflineEventDropsTheCarrierAndTheEndShutsTheLibraryDown) {
  EXPECT_TRUE(channel_->Carrier());
  line_.HangUp();
  EXPECT_TRUE(WaitUntil([&] { return !channel_->Carrier(); }));
  uint8_t line_status = 1, modem_status = 0;
  channel_->GetStatus(line_status, modem_status);
  EXPECT_EQ(modem_status, 0x08);
  const int32_t shutdowns = FakeCalls("DoorShutdown");
  channel_.reset();
  EXPECT_EQ(FakeCalls("DoorShutdown"), shutdowns + 1);
}

}  // namespace
