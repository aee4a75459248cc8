// The DOOR32 channel and the WINServer start-up against our fake BBS libraries. CTest runs this
// with ZORVAN_FAKE_LIBS naming the libraries it can find: "full", "none", "wcsrv_lacking" or
// "door32_lacking" (a library lacking one entry point).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

#include "comm/channel.h"
#include "comm/door32.h"
#include "comm/winserver.h"
#include "door/library.h"
#include "door/session.h"
#include "door/startup.h"
#include "fakes/door_harness.h"
#include "fakes/screen_text.h"
#include "runtime/halt.h"
#include "runtime/launch.h"
#include "runtime/sockets.h"

namespace {

// The fake libraries read the C runtime's environment.
void SetTestEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

// The BBS's end of the caller's line: the fake DOOR32 connects to it when initialised.
struct FakeLine {
  FakeLine() {
    int port = 0;
    listener = LaunchListen(0, port);
    SetTestEnv("ZORVAN_FAKE_DOOR32_PORT", std::to_string(port));
  }
  ~FakeLine() {
    SocketClose(listener);
    if (socket != kNoSocket) SocketShutdownAndClose(socket);
  }
  // True once the fake has connected (within wait_ms).
  bool Accept(uint32_t wait_ms) {
    if (SocketWait(listener, false, wait_ms) > 0) socket = LaunchAcceptOne(listener);
    return socket != kNoSocket;
  }
  // Whatever the door said last, then the end of the line.
  bool Closed() {
    char byte;
    int n = 1;
    while (n > 0 && SocketWait(socket, false, 10'000) > 0) n = SocketRecv(socket, &byte, 1);
    return n == 0;
  }
  SocketHandle listener = kNoSocket, socket = kNoSocket;
};

// The name field is 72 bytes at 8, between filler that is neither zero nor blank: a reader that
// runs past the field shows it.
TEST(WinServerUserTest, BlockFieldsGiveTheSession) {
  const std::string full(72, 'Q');
  const int32_t most = std::numeric_limits<int32_t>::max();
  const std::tuple<std::string, int32_t, int32_t, WinServerUser> cases[] = {
      {full, 0, 30, {full.substr(0, 71), full, true, 1'800}},
      {"Zed", -1, most, {"Zed", "Zed", false, most}},  // no filler zeros in the alias; no overflow
      {std::string("Bo\0 Ike", 7), 1, -5, {"Bo", "Bo", false, -300}},
  };
  for (const auto& [name_field, ansi, minutes, expected] : cases) {
    uint8_t block[kWinServerUserSize];
    std::memset(block, 0xA5, sizeof block);
    std::memset(block + 8, 0, 72);
    name_field.copy(reinterpret_cast<char*>(block + 8), name_field.size());
    std::memcpy(block + 700, &ansi, 4);  // little-endian, as on every target we build
    std::memcpy(block + 832, &minutes, 4);
    const WinServerUser user = WinServerUserFromBlock(block);
    EXPECT_EQ(std::tie(user.UserName, user.Alias, user.Ansi, user.TimeLimit),
              std::tie(expected.UserName, expected.Alias, expected.Ansi, expected.TimeLimit));
  }
}

// A library that is missing or lacks an entry point is never called.
TEST(Door32LoadTest, OnlyWholeLibrariesStartTheSession) {
  const char* env = std::getenv("ZORVAN_FAKE_LIBS");
  const std::string libs = env != nullptr ? env : "none";
  const bool door32 = libs == "full" || libs == "wcsrv_lacking";
  const bool wcsrv = libs == "full" || libs == "door32_lacking";
  ResetEverything();
  DoorSessionInit();
  SetTestEnv("ZORVAN_FAKE_WCSRV", "1,4,0,30,Ann Caller");
  EXPECT_EQ(LoadWinServer(), wcsrv);
  if (!door32) {
    Door32Channel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(1);
    EXPECT_FALSE(channel.Carrier() || channel.Open(0) || channel.CharReady());
  }

  FakeLine line;
  const int code = HaltCodeOf([] {
    std::string program = "zv", option = "-W";
    char* argv[] = {program.data(), option.data()};
    DoorStartup(2, argv);
  });
  EXPECT_EQ(line.Accept(door32 ? 10'000 : 0), door32);  // a library connects at once
  if (door32 && wcsrv) {
    ASSERT_EQ(code, -1) << ScreenRow(2);
    const DoorSession& s = door_session;
    EXPECT_EQ(std::make_tuple(s.Kind, s.UserName, s.Alias, s.Ansi, s.TimeLimit, s.Node),
              std::make_tuple(ckDoor32, std::string("Ann Caller"), std::string("Ann"), true,
                              1'800, 4));
  } else {
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ScreenRow(2), "  No Carrier Detected");
    EXPECT_FALSE(door_session.ChecksEnabled);
  }
  ChannelClose();
  EXPECT_TRUE(!door32 || line.Closed()) << "DoorShutdown";
}

}  // namespace
