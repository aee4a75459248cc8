// Serial ports as the serial channel needs them: a port handed over by the BBS or opened by number,
// its line settings and modem lines, and reads and writes that never hold the calling thread for
// longer than it asks.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

// A port as the BBS passes it: a HANDLE on Windows, a tty descriptor on POSIX.
using SerialHandle = int32_t;
constexpr SerialHandle kNoSerialPort = -1;

// The line settings in the system's own terms. stop_bits: 0 one, 1 one and a half, 2 two.
struct SerialLine {
  int32_t baud = 0;
  char parity = 'N';  // 'N', 'O', 'E', 'M' ('S', space, read back only)
  uint8_t data_bits = 8;
  uint8_t stop_bits = 0;
};

// Whether the handle is an open serial device handed over to the door. On POSIX a terminal on a
// descriptor of its own: 0-2 are the door's console, never the caller's line.
bool SerialIsPort(SerialHandle port);
// "\\.\COMn" on Windows, "/dev/ttyS(n-1)" on POSIX; tests give another prefix ("" restores it).
std::string SerialDeviceName(int port);
void SerialSetDevicePrefix(const std::string& prefix);
// Opens a port by number, unshared; kNoSerialPort (SerialLastError set) when it cannot be opened
// or is no serial device.
SerialHandle SerialOpen(int port);
void SerialClose(SerialHandle port);

// The port's I/O must never wait without bound: on POSIX the descriptor is made non-blocking while
// the door uses it; the handover's own mode is kept in *saved and put back by SerialGiveBack.
void SerialTakeOver(SerialHandle port, int32_t& saved);
void SerialGiveBack(SerialHandle port, int32_t saved);

// Each returns false with SerialLastError set.
bool SerialSetupBuffers(SerialHandle port, int32_t input, int32_t output);
// Reads return at once with what has arrived.
bool SerialSetTimeouts(SerialHandle port);
bool SerialGetLine(SerialHandle port, SerialLine& line);
// Also binary (raw) mode and DTR enabled; everything else stays as the port had it.
bool SerialSetLine(SerialHandle port, const SerialLine& line);
bool SerialSetFlowControl(SerialHandle port, bool xon_out, bool xon_in, bool hardware);
bool SerialSetDtr(SerialHandle port, bool raise);
// PURGE_TXCLEAR (output) or PURGE_RXCLEAR.
void SerialPurge(SerialHandle port, bool output);

// The modem status byte (0x10 CTS, 0x20 DSR, 0x40 ring, 0x80 carrier detect), -1 when it cannot be
// read (a pseudo-terminal, an adapter without modem lines).
int SerialModemStatus(SerialHandle port);
// 1 or 0 from carrier detect; -1 when the line cannot tell: status unreadable, or a POSIX line in
// local mode (CLOCAL), where the driver itself ignores carrier detect.
int SerialCarrierDetect(SerialHandle port);
// Whether the handle reports a hang-up or an error without reading from it.
bool SerialHungUp(SerialHandle port);
// Bytes waiting in the driver's receive buffer, -1 on error.
int32_t SerialInputCount(SerialHandle port);
// Waits up to wait_ms for the driver's transmit buffer to empty; true when it did.
bool SerialWaitSent(SerialHandle port, uint32_t wait_ms);

// The reads and writes of the one I/O thread (Windows: its overlapped records and their
// completion events). Each returns the count moved, 0 when nothing could move within wait_ms, -1
// on an error of the line (SerialLastError set).
struct SerialOverlapped;
class SerialTransfer {
 public:
  SerialTransfer();
  ~SerialTransfer();
  SerialTransfer(const SerialTransfer&) = delete;
  SerialTransfer& operator=(const SerialTransfer&) = delete;
  int32_t Read(SerialHandle port, void* buffer, int32_t count, uint32_t wait_ms);
  int32_t Write(SerialHandle port, const void* buffer, int32_t count, uint32_t wait_ms);

 private:
  std::unique_ptr<SerialOverlapped> io_;
};

int SerialLastError();
std::string SerialErrorText(int error);
