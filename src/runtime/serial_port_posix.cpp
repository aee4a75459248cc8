#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "runtime/clock.h"
#include "runtime/serial_port.h"
#include "runtime/serial_speed_posix.h"

struct SerialOverlapped {};

namespace {

thread_local int last_error = 0;
std::mutex prefix_guard;
std::string device_prefix;
constexpr const char* kDefaultPrefix = "/dev/ttyS";

bool Fail() {
  last_error = errno;
  return false;
}

struct Speed {
  int32_t baud;
  speed_t code;
};
constexpr Speed kSpeeds[] = {
    {50, B50},       {75, B75},       {110, B110},     {134, B134},     {150, B150},
    {200, B200},     {300, B300},     {600, B600},     {1200, B1200},   {1800, B1800},
    {2400, B2400},   {4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400},
    {57600, B57600}, {115200, B115200},
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B4000000
    {500000, B500000},   {576000, B576000},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
#endif
};

const Speed* SpeedCode(int32_t baud) {
  for (const Speed& s : kSpeeds)
    if (s.baud == baud) return &s;
  return nullptr;
}

// A speed set by number has no code of its own in the flags: the driver says which it is.
int32_t LineSpeed(SerialHandle port, const termios& t) {
  for (const Speed& s : kSpeeds)
    if (s.code == cfgetospeed(&t)) return s.baud;
  return SerialDriverSpeed(port);
}

// The modem lines and the bit each has in the status byte.
struct ModemBit {
  int line;
  int bit;
};
constexpr ModemBit kModemBits[] = {
    {TIOCM_CTS, 0x10}, {TIOCM_DSR, 0x20}, {TIOCM_RNG, 0x40}, {TIOCM_CAR, 0x80}};

}  // namespace

bool SerialIsPort(SerialHandle port) { return port > 2 && isatty(port) == 1; }

std::string SerialDeviceName(int port) {
  std::lock_guard<std::mutex> hold(prefix_guard);
  return (device_prefix.empty() ? kDefaultPrefix : device_prefix) + std::to_string(port - 1);
}

void SerialSetDevicePrefix(const std::string& prefix) {
  std::lock_guard<std::mutex> hold(prefix_guard);
  device_prefix = prefix;
}

// O_NONBLOCK: a line without carrier (CLOCAL off) must not hold the open. The handle stays
// inheritable, as a port opened by a BBS is.
SerialHandle SerialOpen(int port) {
  const int fd = open(SerialDeviceName(port).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    Fail();
    return kNoSerialPort;
  }
  if (isatty(fd) != 1) {
    close(fd);
    last_error = ENOTTY;
    return kNoSerialPort;
  }
  ioctl(fd, TIOCEXCL);  // no sharing; refused by some drivers, which is no reason to fail
  return fd;
}

void SerialClose(SerialHandle port) {
  if (port < 0) return;
  ioctl(port, TIOCNXCL);
  close(port);
}

void SerialTakeOver(SerialHandle port, int32_t& saved) {
  saved = fcntl(port, F_GETFL);
  if (saved >= 0 && (saved & O_NONBLOCK) == 0) fcntl(port, F_SETFL, saved | O_NONBLOCK);
}

void SerialGiveBack(SerialHandle port, int32_t saved) {
  if (saved >= 0 && (saved & O_NONBLOCK) == 0) fcntl(port, F_SETFL, saved);
}

// The tty driver's buffers have a fixed size.
bool SerialSetupBuffers(SerialHandle port, int32_t, int32_t) {
  return isatty(port) == 1 || Fail();
}

bool SerialSetTimeouts(SerialHandle port) {
  termios t{};
  if (tcgetattr(port, &t) != 0) return Fail();
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return tcsetattr(port, TCSANOW, &t) == 0 || Fail();
}

bool SerialGetLine(SerialHandle port, SerialLine& line) {
  termios t{};
  if (tcgetattr(port, &t) != 0) return Fail();
  line.baud = LineSpeed(port, t);
  line.parity = 'N';
  if (t.c_cflag & PARENB) {
    const bool odd = (t.c_cflag & PARODD) != 0;
#ifdef CMSPAR
    if (t.c_cflag & CMSPAR) line.parity = odd ? 'M' : 'S';
    else
#endif
      line.parity = odd ? 'O' : 'E';
  }
  switch (t.c_cflag & CSIZE) {
    case CS5: line.data_bits = 5; break;
    case CS6: line.data_bits = 6; break;
    case CS7: line.data_bits = 7; break;
    default: line.data_bits = 8; break;
  }
  line.stop_bits = (t.c_cflag & CSTOPB) ? 2 : 0;
  return true;
}

// The speed is touched only when another is asked for, so a line whose speed has no code keeps it
// while it is made binary. A speed that cannot be set leaves the line as it was.
bool SerialSetLine(SerialHandle port, const SerialLine& line) {
  if (line.data_bits < 5 || line.data_bits > 8) {
    last_error = EINVAL;
    return false;
  }
  termios t{};
  if (tcgetattr(port, &t) != 0) return Fail();
  const termios before = t;
  const bool new_speed = line.baud != LineSpeed(port, t);
  const Speed* code = new_speed ? SpeedCode(line.baud) : nullptr;
  if (new_speed && code == nullptr && line.baud <= 0) {
    last_error = EINVAL;
    return false;
  }
  if (code != nullptr) {
    cfsetispeed(&t, code->code);
    cfsetospeed(&t, code->code);
  }
  // Binary: the caller's bytes arrive as sent, ours leave as written (no echo, no line editing,
  // no signals from the caller's keys, no CR/LF translation).
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD;
  t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CSIZE | CSTOPB);
#ifdef CMSPAR
  t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
  if (line.parity == 'M') t.c_cflag |= PARENB | PARODD | CMSPAR;
#endif
  if (line.parity == 'O') t.c_cflag |= PARENB | PARODD;
  if (line.parity == 'E') t.c_cflag |= PARENB;
  constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[line.data_bits - 5];
  // One and a half stop bits is what a UART makes of two at five data bits.
  if (line.stop_bits != 0) t.c_cflag |= CSTOPB;
  if (tcsetattr(port, TCSANOW, &t) != 0) return Fail();
  if (new_speed && code == nullptr && !SerialSetDriverSpeed(port, line.baud)) {
    Fail();
    tcsetattr(port, TCSANOW, &before);
    return false;
  }
  SerialSetDtr(port, true);  // a pseudo-terminal has no DTR: not a failure of the line settings
  return true;
}

bool SerialSetFlowControl(SerialHandle port, bool xon_out, bool xon_in, bool hardware) {
  termios t{};
  if (tcgetattr(port, &t) != 0) return Fail();
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  if (xon_out) t.c_iflag |= IXON;
  if (xon_in) t.c_iflag |= IXOFF;
#ifdef CRTSCTS
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  if (hardware) t.c_cflag |= CRTSCTS;
#else
  (void)hardware;
#endif
  return tcsetattr(port, TCSANOW, &t) == 0 || Fail();
}

bool SerialSetDtr(SerialHandle port, bool raise) {
  int dtr = TIOCM_DTR;
  return ioctl(port, raise ? TIOCMBIS : TIOCMBIC, &dtr) == 0 || Fail();
}

void SerialPurge(SerialHandle port, bool output) { tcflush(port, output ? TCOFLUSH : TCIFLUSH); }

int SerialModemStatus(SerialHandle port) {
  int lines = 0;
  if (ioctl(port, TIOCMGET, &lines) != 0) {
    Fail();
    return -1;
  }
  int status = 0;
  for (const ModemBit& m : kModemBits)
    if (lines & m.line) status |= m.bit;
  return status;
}

int SerialCarrierDetect(SerialHandle port) {
  termios t{};
  if (tcgetattr(port, &t) != 0 || (t.c_cflag & CLOCAL) != 0) return -1;
  const int status = SerialModemStatus(port);
  return status < 0 ? -1 : (status & 0x80) != 0;
}

bool SerialHungUp(SerialHandle port) {
  pollfd entry{port, POLLIN, 0};
  if (poll(&entry, 1, 0) < 0) return errno != EINTR;
  return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int32_t SerialInputCount(SerialHandle port) {
  int n = 0;
  if (ioctl(port, FIONREAD, &n) != 0) {
    Fail();
    return -1;
  }
  return n;
}

// tcdrain would wait for as long as flow control holds the line; this looks every millisecond.
bool SerialWaitSent(SerialHandle port, uint32_t wait_ms) {
  const int32_t start = MsOfDay();
  for (;;) {
    int queued = 0;
    if (ioctl(port, TIOCOUTQ, &queued) != 0) return Fail();
    if (queued == 0) return true;
    if (static_cast<uint32_t>(MsElapsed(start, MsOfDay())) >= wait_ms) return false;
    SleepMs(1);
  }
}

SerialTransfer::SerialTransfer() : io_(std::make_unique<SerialOverlapped>()) {}
SerialTransfer::~SerialTransfer() = default;

// With VMIN and VTIME 0 and the descriptor non-blocking, a read takes what has arrived.
int32_t SerialTransfer::Read(SerialHandle port, void* buffer, int32_t count, uint32_t) {
  const ssize_t n = read(port, buffer, static_cast<size_t>(count));
  if (n >= 0) return static_cast<int32_t>(n);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  Fail();
  return -1;
}

int32_t SerialTransfer::Write(SerialHandle port, const void* buffer, int32_t count,
                              uint32_t wait_ms) {
  pollfd entry{port, POLLOUT, 0};
  const int ready = poll(&entry, 1, static_cast<int>(wait_ms));
  if (ready < 0 && errno == EINTR) return 0;
  if (ready < 0) {
    Fail();
    return -1;
  }
  if (ready == 0) return 0;
  if ((entry.revents & POLLOUT) == 0) {
    last_error = (entry.revents & POLLNVAL) != 0 ? EBADF : EIO;  // hung up
    return -1;
  }
  const ssize_t n = write(port, buffer, static_cast<size_t>(count));
  if (n >= 0) return static_cast<int32_t>(n);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  Fail();
  return -1;
}

int SerialLastError() { return last_error; }

std::string SerialErrorText(int error) { return std::strerror(error); }
