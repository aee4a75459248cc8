#include <windows.h>

#include <mutex>

#include "runtime/clock.h"
#include "runtime/serial_port.h"

// The I/O thread's two overlapped records, each with its own manual-reset completion event.
struct SerialOverlapped {
  HANDLE read_done = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  HANDLE write_done = CreateEventA(nullptr, TRUE, TRUE, nullptr);
};

namespace {

thread_local DWORD last_error = 0;
std::mutex prefix_guard;
std::string device_prefix;
constexpr const char* kDefaultPrefix = "\\\\.\\COM";

HANDLE H(SerialHandle port) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(port)); }

bool Fail() {
  last_error = GetLastError();
  return false;
}

constexpr char kParities[] = {'N', 'O', 'E', 'M', 'S'};  // NOPARITY .. SPACEPARITY

// One overlapped transfer: started, waited for up to wait_ms, cancelled when still pending (the
// buffer must not stay in the system's hands), and its count taken.
int32_t Transfer(HANDLE port, HANDLE done, bool write, void* buffer, int32_t count,
                 uint32_t wait_ms) {
  OVERLAPPED ov{};
  ov.hEvent = done;
  ResetEvent(done);
  DWORD moved = 0;
  const BOOL ok = write ? WriteFile(port, buffer, static_cast<DWORD>(count), &moved, &ov)
                        : ReadFile(port, buffer, static_cast<DWORD>(count), &moved, &ov);
  if (!ok && GetLastError() != ERROR_IO_PENDING) {
    Fail();
    return -1;
  }
  if (!ok && WaitForSingleObject(done, wait_ms) != WAIT_OBJECT_0) {
    CancelIo(port);
    GetOverlappedResult(port, &ov, &moved, TRUE);  // what went before the cancel
    return static_cast<int32_t>(moved);
  }
  if (!GetOverlappedResult(port, &ov, &moved, FALSE)) {
    Fail();
    return -1;
  }
  return static_cast<int32_t>(moved);
}

}  // namespace

bool SerialIsPort(SerialHandle port) {
  if (port == kNoSerialPort || port == 0 || GetFileType(H(port)) != FILE_TYPE_CHAR) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  return GetCommState(H(port), &dcb) != 0;
}

std::string SerialDeviceName(int port) {
  std::lock_guard<std::mutex> hold(prefix_guard);
  return (device_prefix.empty() ? kDefaultPrefix : device_prefix) + std::to_string(port);
}

void SerialSetDevicePrefix(const std::string& prefix) {
  std::lock_guard<std::mutex> hold(prefix_guard);
  device_prefix = prefix;
}

SerialHandle SerialOpen(int port) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE h = CreateFileA(SerialDeviceName(port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inherit,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail();
    return kNoSerialPort;
  }
  return static_cast<SerialHandle>(reinterpret_cast<intptr_t>(h));
}

void SerialClose(SerialHandle port) {
  if (port != kNoSerialPort) CloseHandle(H(port));
}

void SerialTakeOver(SerialHandle, int32_t& saved) { saved = 0; }
void SerialGiveBack(SerialHandle, int32_t) {}

bool SerialSetupBuffers(SerialHandle port, int32_t input, int32_t output) {
  return SetupComm(H(port), static_cast<DWORD>(input), static_cast<DWORD>(output)) || Fail();
}

bool SerialSetTimeouts(SerialHandle port) {
  COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
  return SetCommTimeouts(H(port), &t) || Fail();
}

bool SerialGetLine(SerialHandle port, SerialLine& line) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(H(port), &dcb)) return Fail();
  line.baud = static_cast<int32_t>(dcb.BaudRate);
  line.parity = dcb.Parity < sizeof kParities ? kParities[dcb.Parity] : 'N';
  line.data_bits = dcb.ByteSize;
  line.stop_bits = dcb.StopBits;
  return true;
}

bool SerialSetLine(SerialHandle port, const SerialLine& line) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(H(port), &dcb)) return Fail();
  dcb.BaudRate = static_cast<DWORD>(line.baud);
  for (BYTE i = 0; i < 4; ++i)
    if (kParities[i] == line.parity) dcb.Parity = i;
  dcb.StopBits = line.stop_bits;
  dcb.ByteSize = line.data_bits;
  dcb.fBinary = TRUE;
  dcb.fDtrControl |= DTR_CONTROL_ENABLE;
  return SetCommState(H(port), &dcb) || Fail();
}

bool SerialSetFlowControl(SerialHandle port, bool xon_out, bool xon_in, bool hardware) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(H(port), &dcb)) return Fail();
  dcb.fOutX = xon_out;
  dcb.fInX = xon_in;
  dcb.fOutxCtsFlow = hardware;
  dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
  return SetCommState(H(port), &dcb) || Fail();
}

bool SerialSetDtr(SerialHandle port, bool raise) {
  return EscapeCommFunction(H(port), raise ? SETDTR : CLRDTR) || Fail();
}

void SerialPurge(SerialHandle port, bool output) {
  PurgeComm(H(port), output ? PURGE_TXCLEAR : PURGE_RXCLEAR);
}

int SerialModemStatus(SerialHandle port) {
  DWORD status = 0;
  if (!GetCommModemStatus(H(port), &status)) {
    Fail();
    return -1;
  }
  return static_cast<int>(status & 0xFF);
}

int SerialCarrierDetect(SerialHandle port) {
  const int status = SerialModemStatus(port);
  return status < 0 ? -1 : (status & MS_RLSD_ON) != 0;
}

bool SerialHungUp(SerialHandle port) {
  DWORD errors = 0;
  COMSTAT stat{};
  return !ClearCommError(H(port), &errors, &stat);
}

int32_t SerialInputCount(SerialHandle port) {
  DWORD errors = 0;
  COMSTAT stat{};
  if (!ClearCommError(H(port), &errors, &stat)) {
    Fail();
    return -1;
  }
  return static_cast<int32_t>(stat.cbInQue);
}

// FlushFileBuffers would wait for as long as flow control holds the line.
bool SerialWaitSent(SerialHandle port, uint32_t wait_ms) {
  const int32_t start = MsOfDay();
  for (;;) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(H(port), &errors, &stat)) return Fail();
    if (stat.cbOutQue == 0) return true;
    if (static_cast<uint32_t>(MsElapsed(start, MsOfDay())) >= wait_ms) return false;
    SleepMs(1);
  }
}

SerialTransfer::SerialTransfer() : io_(std::make_unique<SerialOverlapped>()) {}

SerialTransfer::~SerialTransfer() {
  if (io_->read_done != nullptr) CloseHandle(io_->read_done);
  if (io_->write_done != nullptr) CloseHandle(io_->write_done);
}

int32_t SerialTransfer::Read(SerialHandle port, void* buffer, int32_t count, uint32_t wait_ms) {
  return Transfer(H(port), io_->read_done, false, buffer, count, wait_ms);
}

int32_t SerialTransfer::Write(SerialHandle port, const void* buffer, int32_t count,
                              uint32_t wait_ms) {
  return Transfer(H(port), io_->write_done, true, const_cast<void*>(buffer), count, wait_ms);
}

int SerialLastError() { return static_cast<int>(last_error); }

std::string SerialErrorText(int error) {
  char text[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
  std::string message(text, n);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n'))
    message.pop_back();
  return message;
}
