#include <gtest/gtest.h>

#include <string>

#include "comm/channel.h"
#include "comm/serial.h"
#include "fakes/game_fixture.h"
#include "runtime/files.h"
#include "runtime/serial_port.h"

namespace {

// Every way of reaching no port ends the same: no thread, no carrier, no bytes anywhere (an open
// file that is no port is never written), and the failure in LastError.
TEST(SerialChannelTest, APortThatDidNotOpenHasNoCarrier) {
  TempGameDir dir;
  SerialSetDevicePrefix(dir.PathOf("no-such-port"));
  dir.WriteFile("NOTAPORT", "");
  OsFile file;
  ASSERT_TRUE(FileOpen(file, dir.PathOf("NOTAPORT"), faReadWrite));
  for (int32_t attached : {100'000, static_cast<int32_t>(file.Native())}) {
    SCOPED_TRACE(attached);
    SerialChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(attached);
    EXPECT_FALSE(channel.Carrier() || channel.Ok() || channel.Started() || channel.CharReady());
    EXPECT_EQ(channel.Handle(), kNoSerialPort);
    EXPECT_EQ(channel.LastError(), "Unable to open communications port");
    int32_t written = -1;
    channel.WriteBlock("lost", 4, written);
    EXPECT_EQ(written, 0);
  }
  FileClose(file);
  EXPECT_EQ(dir.ReadFile("NOTAPORT"), "");
  SerialSetDevicePrefix("");
}

}  // namespace
