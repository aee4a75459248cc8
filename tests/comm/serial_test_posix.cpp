// The serial channel on pseudo-terminal pairs: the test holds the master (the caller's modem), the
// channel the slave (the line).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "comm/channel.h"
#include "comm/serial.h"
#include "fakes/game_fixture.h"
#include "fakes/wait_until.h"
#include "runtime/serial_speed_posix.h"

namespace {

using Bytes = std::string;

struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    name = ptsname(master);
    slave = open(name.c_str(), O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    close(master);
    close(slave);
  }
  // What the caller's side receives until it holds n bytes (or the wait ends).
  Bytes Receive(size_t n) const {
    Bytes got;
    char buffer[4096];
    WaitUntil([&] {
      pollfd entry{master, POLLIN, 0};
      for (ssize_t r; got.size() < n && poll(&entry, 1, 0) > 0 &&
                      (r = read(master, buffer, std::min(sizeof buffer, n - got.size()))) > 0;)
        got.append(buffer, static_cast<size_t>(r));
      return got.size() >= n;
    });
    return got;
  }
  int master = -1, slave = -1;
  std::string name;
};

// The keys the channel has, once it holds n of them.
Bytes Keys(SerialChannel& channel, size_t n) {
  Bytes keys;
  WaitUntil([&] {
    while (channel.CharReady()) keys.push_back(channel.ReadChar());
    return keys.size() >= n;
  });
  return keys;
}

// A port number that is also an open file of ours (no tty) names the port, which may not open:
// the file is never written. 255 and NUL pass as they are both ways, and a full queue, more than
// a pseudo-terminal takes at once (some 20 kB), goes on later passes.
TEST(SerialPtyTest, APortNumberOpensALineThatCarriesEveryByte) {
  Pty pty;
  ASSERT_GE(pty.slave, 0);
  TempGameDir dir;
  dir.WriteFile("NOTATTY", "");
  const int file = open(dir.PathOf("NOTATTY").c_str(), O_RDWR);
  const int number = fcntl(file, F_DUPFD, 100);
  close(file);
  ASSERT_GE(number, 100);
  SerialSetDevicePrefix(dir.PathOf("com"));
  {  // no such port yet: no thread, no carrier, nothing written anywhere
    SerialChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(number);
    EXPECT_FALSE(channel.Carrier() || channel.Ok() || channel.Started() || channel.CharReady());
    EXPECT_EQ(channel.LastError(), "Unable to open communications port");
    int32_t written = -1;
    channel.WriteBlock("lost", 4, written);
    EXPECT_EQ(written, 0);
  }
  ASSERT_EQ(symlink(pty.name.c_str(), dir.PathOf("com" + std::to_string(number - 1)).c_str()), 0);
  {
    SerialChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(number);
    ASSERT_TRUE(channel.Ok()) << channel.LastError();
    EXPECT_TRUE(channel.Carrier());  // a pseudo-terminal has no carrier detect: connected
    const Bytes bytes("hi\r\n\xff\x00" "c", 7);
    ASSERT_EQ(write(pty.master, bytes.data(), bytes.size()), 7);
    EXPECT_EQ(Keys(channel, 7), bytes);
    Bytes block = bytes;
    for (int32_t i = 7; i < ByteQueue::kChannelCapacity; ++i) block.push_back(char('a' + i % 23));
    int32_t written = 0;
    channel.WriteBlock(block.data(), static_cast<int32_t>(block.size()), written);
    EXPECT_EQ(written, static_cast<int32_t>(block.size()));
    EXPECT_TRUE(pty.Receive(block.size()) == block) << "the caller's keys echoed, or bytes lost";
  }
  SerialSetDevicePrefix("");
  close(number);
  EXPECT_EQ(dir.ReadFile("NOTATTY"), "");
}

// Attach keeps whatever speed the BBS left (a usual code, a Linux-only one, a number only) and
// makes the line N-8-1 and binary; SetLine changes the speed.
TEST(SerialPtyTest, AttachKeepsTheSpeedTheLineHasAndMakesItBinary) {
  struct LineCase {
    int32_t baud;
    speed_t code;  // B0: set by number
  };
  const LineCase kLines[] = {{2400, B2400}, {500000, B500000}, {250000, B0}};
  for (size_t i = 0; i < std::size(kLines); ++i) {
    const LineCase& line = kLines[i];
    SCOPED_TRACE(line.baud);
    Pty pty;
    ASSERT_GE(pty.slave, 0);
    termios t{};
    ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
    ASSERT_TRUE(line.code == B0 || cfsetspeed(&t, line.code) == 0);
    t.c_cflag |= PARODD | CSTOPB;
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &t), 0);
    ASSERT_TRUE(line.code != B0 || SerialSetDriverSpeed(pty.slave, line.baud));
    SerialChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(pty.slave);
    ASSERT_TRUE(channel.Ok()) << channel.LastError();
    EXPECT_EQ(channel.GetBaud(), line.baud);
    EXPECT_EQ(SerialDriverSpeed(pty.slave), line.baud);
    ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
    // A pseudo-terminal keeps the parity kind and the stop bits as set: they must be cleared.
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CSTOPB | CSIZE), tcflag_t{CS8});
    const int32_t next = kLines[(i + 1) % std::size(kLines)].baud;
    channel.SetLine(next, 'N', 8, 1);
    EXPECT_EQ(channel.GetBaud(), next) << channel.LastError();
  }
}

}  // namespace
