// The serial channel on pseudo-terminal pairs: the test holds the master (the caller's modem), the
// channel the slave (the line the BBS hands over).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <thread>

#include "comm/channel.h"
#include "comm/serial.h"
#include "fakes/game_fixture.h"
#include "fakes/wait_until.h"

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
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
  // What the caller's side receives until it holds n bytes (or 10 s pass).
  Bytes Receive(size_t n) const {
    Bytes got;
    char buffer[4096];
    WaitUntil([&] {
      pollfd entry{master, POLLIN, 0};
      while (got.size() < n && poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN)) {
        const ssize_t r = read(master, buffer, std::min(sizeof buffer, n - got.size()));
        if (r <= 0) return true;
        got.append(buffer, static_cast<size_t>(r));
      }
      return got.size() >= n;
    });
    return got;
  }
  void Send(const Bytes& bytes) const {
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  int master = -1, slave = -1;
  std::string name;
};

Bytes Keys(SerialChannel& channel, size_t n) {
  Bytes keys;
  WaitUntil([&] {
    while (channel.CharReady()) keys.push_back(channel.ReadChar());
    return keys.size() >= n;
  });
  return keys;
}

// How many bytes a raw pseudo-terminal slave takes before the master must read.
size_t PtyCapacity() {
  Pty pty;
  termios t{};
  tcgetattr(pty.slave, &t);
  cfmakeraw(&t);
  tcsetattr(pty.slave, TCSANOW, &t);
  fcntl(pty.slave, F_SETFL, O_NONBLOCK);
  size_t total = 0;
  const Bytes chunk(512, 'x');
  for (ssize_t n; (n = write(pty.slave, chunk.data(), chunk.size())) > 0;)
    total += static_cast<size_t>(n);
  return total;
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

TEST(SerialPtyTest, BytesBothWaysPartialWritesNoSpinningAndTheHangUp) {
  const size_t capacity = PtyCapacity();
  ASSERT_GT(capacity, 0u);
  ASSERT_LT(capacity + 8'000, static_cast<size_t>(ByteQueue::kChannelCapacity));
  Pty pty;
  ASSERT_GE(pty.slave, 0);
  const int bbs_mode = fcntl(pty.slave, F_GETFL);
  {
    SerialChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(pty.slave);
    ASSERT_TRUE(channel.Ok()) << channel.LastError();
    EXPECT_EQ(channel.Handle(), pty.slave);
    EXPECT_TRUE(channel.Carrier());  // a pseudo-terminal has no carrier detect: connected
    EXPECT_FALSE(channel.StartThreads()) << "a second start must fail";

    // Binary both ways: no CR added, no echo, 255 and NUL as they are, nothing negotiated.
    channel.WriteString(Bytes("\x1b[2Jhi\r\n\xff", 9));
    EXPECT_EQ(pty.Receive(9), Bytes("\x1b[2Jhi\r\n\xff", 9));
    pty.Send(Bytes("ab\r\n\xff\x00" "c", 7));
    EXPECT_EQ(Keys(channel, 7), Bytes("ab\r\n\xff\x00" "c", 7));
    channel.WriteString("x");
    EXPECT_EQ(pty.Receive(1), "x") << "the caller's keys were echoed back";

    // More than the line takes at once, queued by one WriteBlock: the rest goes on later passes.
    Bytes block;
    for (size_t i = 0; i < capacity + 8'000; ++i) block.push_back(static_cast<char>('a' + i % 23));
    int32_t written = 0;
    channel.WriteBlock(block.data(), static_cast<int32_t>(block.size()), written);
    EXPECT_EQ(written, static_cast<int32_t>(block.size()));
    const Bytes got = pty.Receive(block.size());
    EXPECT_TRUE(got == block) << got.size() << " of " << block.size() << " bytes, in order: "
                              << (block.compare(0, got.size(), got) == 0);

    // A read waiting for a key that has not come keeps no thread busy.
    char key = 0;
    int32_t read = 0;
    const double cpu_before = CpuSeconds();
    const auto wall_before = std::chrono::steady_clock::now();
    std::thread reader([&] { channel.ReadBlock(&key, 1, read); });
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const double cpu = CpuSeconds() - cpu_before;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_before).count();
    pty.Send("z");
    reader.join();
    EXPECT_EQ(read, 1);
    EXPECT_EQ(key, 'z');
    EXPECT_LT(cpu, wall / 2) << "CPU time while waiting for a key";

    close(pty.master);  // the caller hangs up
    pty.master = -1;
    EXPECT_TRUE(WaitUntil([&] { return !channel.Carrier(); }));
    channel.WriteBlock(block.data(), static_cast<int32_t>(block.size()), written);  // returns
  }
  // The line is the BBS's again, in the mode it was handed over in.
  EXPECT_EQ(fcntl(pty.slave, F_GETFL), bbs_mode);
}

// A pseudo-terminal keeps the speed, the stop bits and the kind of parity (odd, mark) but always
// reports 8 data bits and parity checking off, so those two are not read back here.
struct LineCase {
  int32_t baud;
  char parity;
  uint8_t data_bits, stop_bits;
  speed_t speed;
  tcflag_t parity_kind, stop_flag;
};

void ExpectLine(int tty, const LineCase& c) {
  termios t{};
  ASSERT_EQ(tcgetattr(tty, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), c.speed);
  EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.parity_kind);
  EXPECT_EQ(t.c_cflag & CSTOPB, c.stop_flag);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST(SerialPtyTest, SetLineIsReadBackFromTheTty) {
  Pty pty;
  ASSERT_GE(pty.slave, 0);
  termios t{};
  ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
  cfsetispeed(&t, B2400);
  cfsetospeed(&t, B2400);
  t.c_cflag |= PARODD | CSTOPB;
  ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &t), 0);
  SerialChannel channel;
  channel.SetThreadProcs(&ReaderProc, &WriterProc);
  channel.Attach(pty.slave);
  ExpectLine(pty.slave, {-1, 'N', 8, 1, B2400, 0, 0});  // the BBS's speed, N-8-1
  const LineCase cases[] = {
      {11520, 'N', 8, 1, B115200, 0, 0},
      {9600, 'S', 7, 3, B9600, 0, CSTOPB},  // no space parity; 1.5 stop bits is CSTOPB
      {19200, 'x', 8, 0, B19200, 0, 0},
      {1200, 'E', 7, 2, B1200, 0, CSTOPB},
      {300, 'O', 8, 4, B300, PARODD, 0},
      {38400, 'M', 8, 1, B38400, PARODD | CMSPAR, 0},
      {-1, 'O', 8, 2, B38400, PARODD, CSTOPB},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.baud << c.parity << int(c.data_bits) << int(c.stop_bits));
    channel.SetLine(c.baud, c.parity, c.data_bits, c.stop_bits);
    ExpectLine(pty.slave, c);
    EXPECT_EQ(channel.LastError(), "");
  }
  EXPECT_EQ(channel.GetBaud(), 38400);
  channel.SetLine(12345, 'N', 8, 1);  // no such speed: the line keeps what it had
  EXPECT_EQ(channel.LastError(), "Error setting up communications parameters: #" +
                                     std::to_string(EINVAL) + " / " + std::strerror(EINVAL));
  EXPECT_EQ(channel.GetBaud(), 38400);
}

// A DOOR.SYS port number lands on Attach: a number that is an open file of ours but no tty is
// opened as that port (the device reached through a link where the port's name is), and the
// file is never written.
TEST(SerialPtyTest, APortNumberIsOpenedByNumber) {
  Pty pty;
  ASSERT_GE(pty.slave, 0);
  TempGameDir dir;
  dir.WriteFile("NOTATTY", "");
  const int file = open(dir.PathOf("NOTATTY").c_str(), O_RDWR);
  const int number = fcntl(file, F_DUPFD, 100);
  close(file);
  ASSERT_GE(number, 100);
  ASSERT_EQ(symlink(pty.name.c_str(), dir.PathOf("com" + std::to_string(number - 1)).c_str()), 0);
  SerialSetDevicePrefix(dir.PathOf("com"));
  EXPECT_EQ(SerialDeviceName(1), dir.PathOf("com0"));
  {
    SerialChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(number);
    ASSERT_TRUE(channel.Ok()) << channel.LastError();
    EXPECT_NE(channel.Handle(), number);
    EXPECT_TRUE(channel.Carrier());
    channel.WriteString("on the line");
    EXPECT_EQ(pty.Receive(11), "on the line");
    pty.Send("k");
    EXPECT_EQ(Keys(channel, 1), "k");
  }
  SerialSetDevicePrefix("");
  EXPECT_EQ(SerialDeviceName(1), "/dev/ttyS0");
  close(number);
  EXPECT_EQ(dir.ReadFile("NOTATTY"), "");
}

}  // namespace
