#include <gtest/gtest.h>

#include <string>

#include "comm/channel.h"
#include "comm/serial.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/serial_port.h"

namespace {

// Every way of reaching no port ends the same: no thread, no carrier, no bytes anywhere, and the
// failure in ErrorFlag and LastError.
TEST(SerialChannelTest, APortThatDidNotOpenHasNoCarrier) {
  TempGameDir dir;
  SerialSetDevicePrefix(dir.PathOf("no-such-port"));
  dir.WriteFile("NOTAPORT", "");
  OsFile file;
  ASSERT_TRUE(FileOpen(file, dir.PathOf("NOTAPORT"), faReadWrite));
  const auto not_a_port = static_cast<int32_t>(file.Native());
  struct Case {
    const char* what;
    void (*open)(SerialChannel& channel, int32_t other_file);
  };
  const Case cases[] = {
      {"Open by number", [](SerialChannel& c, int32_t) { EXPECT_FALSE(c.Open(3)); }},
      {"OpenPort", [](SerialChannel& c, int32_t) { EXPECT_FALSE(c.OpenPort(4, 2400, 8, 'N', 1)); }},
      {"Attach of a port number", [](SerialChannel& c, int32_t) { c.Attach(5); }},
      {"Attach of a number beyond any port", [](SerialChannel& c, int32_t) { c.Attach(100'000); }},
      {"Attach of an open file that is no port",
       [](SerialChannel& c, int32_t other) { c.Attach(other); }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    SerialChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    test.open(channel, not_a_port);
    EXPECT_FALSE(channel.Carrier());
    EXPECT_FALSE(channel.Ok());
    EXPECT_FALSE(channel.Started());
    EXPECT_EQ(channel.Handle(), kNoSerialPort);
    EXPECT_EQ(channel.LastError(), "Unable to open communications port");
    EXPECT_FALSE(channel.CharReady());
    int32_t written = -1;
    channel.WriteBlock("lost", 4, written);
    EXPECT_EQ(written, 0);
  }
  FileClose(file);
  EXPECT_EQ(dir.ReadFile("NOTAPORT"), "");
  SerialSetDevicePrefix("");
}

TEST(SerialChannelTest, ChannelOpenMakesTheSerialClass) {
  ChannelOpen(ckSerial);
  ASSERT_NE(ActiveChannel(), nullptr);
  EXPECT_EQ(ActiveChannel()->Kind(), ckSerial);
  EXPECT_FALSE(ChannelCarrier());  // nothing attached yet
  ChannelClose();
  EXPECT_EQ(ActiveChannel(), nullptr);
}

}  // namespace
