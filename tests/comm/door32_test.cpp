// The DOOR32 channel and the WINServer start-up against our fake BBS libraries. CTest runs this
// with ZORVAN_FAKE_LIBS naming the libraries it can find: "full", "none", "wcsrv_lacking" or
// "door32_lacking" (a library lacking one entry point).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "comm/channel.h"
#include "comm/door32.h"
#include "comm/winserver.h"
#include "door/library.h"
#include "door/session.h"
#include "door/startup.h"
#include "door32_test_env.h"
#include "fakes/door_harness.h"
#include "fakes/screen_text.h"
#include "runtime/halt.h"
#include "runtime/launch.h"
#include "runtime/sockets.h"

namespace {

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
    if (socket_ != kNoSocket) SocketShutdownAndClose(socket_);
  }
  // True once the fake has connected (within wait_ms).
  bool Accept(uint32_t wait_ms = 10'000) {
    if (listener_ == kNoSocket || SocketWait(listener_, false, wait_ms) <= 0) return false;
    socket_ = LaunchAcceptOne(listener_);  // closes the listener
    listener_ = kNoSocket;
    return socket_ != kNoSocket;
  }
  // The library said goodbye to the BBS: its end of the line is closed.
  bool Closed() {
    char byte;
    return SocketWait(socket_, false, 10'000) > 0 && SocketRecv(socket_, &byte, 1) == 0;
  }

 private:
  SocketHandle listener_ = kNoSocket, socket_ = kNoSocket;
};

// The name field is 72 bytes at 8, between filler that is neither zero nor blank: a reader that
// runs past the field shows it.
TEST(WinServerUserTest, BlockFieldsGiveTheSession) {
  const std::string full(72, 'Q');
  const int32_t most = std::numeric_limits<int32_t>::max();
  const std::vector<std::tuple<std::string, int32_t, int32_t, WinServerUser>> cases = {
      {full, 0, 30, {full.substr(0, 71), full, true, 1'800}},
      {"Zed", -1, most, {"Zed", "Zed", false, most}},  // no filler zeros in the alias; no overflow
      {std::string("Bo\0 Ike", 7), 1, -5, {"Bo", "Bo", false, -300}},
  };
  for (const auto& [name_field, ansi, minutes, expected] : cases) {
    uint8_t block[kWinServerUserSize];
    std::fill(std::begin(block), std::end(block), uint8_t{0xA5});
    std::fill(block + 8, block + 80, uint8_t{0});
    std::copy(name_field.begin(), name_field.end(), block + 8);
    std::memcpy(block + 700, &ansi, 4);  // little-endian, as on every target we build
    std::memcpy(block + 832, &minutes, 4);
    const WinServerUser user = WinServerUserFromBlock(block);
    EXPECT_EQ(std::tie(user.UserName, user.Alias, user.Ansi, user.TimeLimit),
              std::tie(expected.UserName, expected.Alias, expected.Ansi, expected.TimeLimit))
        << name_field;
  }
}

// A library that is missing or lacks an entry point is never called.
TEST(Door32LoadTest, OnlyWholeLibrariesStartTheSession) {
  const char* env = std::getenv("ZORVAN_FAKE_LIBS");
  const std::string libs = env != nullptr ? env : "unset: run through ctest";
  ASSERT_TRUE(libs == "full" || libs == "none" || libs == "wcsrv_lacking" ||
              libs == "door32_lacking")
      << libs;
  const bool door32 = libs == "full" || libs == "wcsrv_lacking";
  const bool wcsrv = libs == "full" || libs == "door32_lacking";
  InstallHaltCatcher();
  ResetDoorLibrary();
  DoorSessionInit();
  SetTestEnv("ZORVAN_FAKE_WCSRV", "1,4,0,30,Ann Caller");
  {
    FakeLine line;
    {
      Door32Channel channel;
      channel.SetThreadProcs(&ReaderProc, &WriterProc);
      EXPECT_EQ(channel.ErrorFlag, !door32);
      channel.Attach(1);
      ASSERT_EQ(line.Accept(door32 ? 10'000 : 0), door32);  // a library connects at once
      EXPECT_EQ(channel.Carrier(), door32);
      EXPECT_EQ(channel.Open(0), door32);  // the ready flag; the threads run already
      if (!door32) {
        EXPECT_FALSE(channel.CharReady());
        int32_t written = 0;
        channel.WriteBlock("lost", 4, written);  // queued for nobody, never handed to a library
        EXPECT_EQ(written, 4);
      }
    }
    EXPECT_TRUE(!door32 || line.Closed()) << "DoorShutdown";
  }
  EXPECT_EQ(LoadWinServer(), wcsrv);

  FakeLine line;
  const int code = HaltCodeOf([] {
    std::string program = "zv", option = "-W";
    char* argv[] = {program.data(), option.data()};
    DoorStartup(2, argv);
  });
  if (door32 && wcsrv) {
    ASSERT_EQ(code, -1) << ScreenRow(2);
    const DoorSession& s = door_session;
    EXPECT_EQ(std::make_tuple(s.Kind, s.UserName, s.Alias, s.Ansi, s.TimeLimit, s.Node),
              std::make_tuple(ckDoor32, std::string("Ann Caller"), std::string("Ann"), true,
                              1'800, 4));
    EXPECT_TRUE(line.Accept());
  } else {
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ScreenRow(2), "  No Carrier Detected");
    EXPECT_FALSE(door_session.ChecksEnabled);
  }
  ChannelClose();
  ExitProc = nullptr;
}

}  // namespace
