// The caller on a serial line (a modem): one I/O thread serves both directions.
#pragma once
#include <atomic>

#include "comm/comm_channel.h"
#include "runtime/serial_port.h"

class SerialChannel : public CommChannel {
 public:
  static constexpr int32_t kDriverQueueSize = 3'072;
  static constexpr uint32_t kSerialWaitMs = 20'000;
  // A write the line does not take at once is given this long before the thread looks at its
  // requests (and at Terminating) again.
  static constexpr uint32_t kWriteWaitMs = 100;
  static constexpr uint32_t kReadWaitMs = 100;
  static constexpr uint32_t kFlushWaitMs = 5'000;

  SerialChannel();
  ~SerialChannel() override;

  void Attach(int32_t handle) override;
  bool OpenPort(uint8_t port, int32_t baud, uint8_t data_bits, char parity,
                uint8_t stop_bits) override;
  bool Open(uint8_t port) override;
  void GetStatus(uint8_t& line_status, uint8_t& modem_status) override;
  void SetLine(int32_t baud, char parity, uint8_t data_bits, uint8_t stop_bits) override;
  int32_t GetBaud() override;
  void GetBufferStatus(int32_t& in_free, int32_t& out_free, int32_t& in_used,
                       int32_t& out_used) override;
  void SetDtr(bool raise) override;
  bool Carrier() override;
  int32_t Handle() override { return port_; }
  void Close() override;
  void PurgeOutput() override;
  void PurgeInput() override;
  void Activate(bool reopen) override;
  void DrainOutput(ChannelIdleProc idle) override;
  void SetFlowControl(bool xon_out, bool xon_in, bool hardware) override;
  // The one I/O thread: each pass serves output, then input.
  void ReadingLoop() override;

 private:
  // Asking with nothing in the driver costs one driver call and no thread pass.
  bool LineHasInput() override { return SerialInputCount(port_) > 0; }
  WaitSource LineWaitSource() override;
  // "text #number / system text" for the port call that just failed.
  void SetPortError(std::string_view text);
  void SetTimeouts();
  void SetupBuffers();
  // The port's mode goes back as the BBS handed it over; a port the door opened is closed.
  void Release();
  void ReceiveStep() override;
  int32_t SendChunk(const uint8_t* bytes, int32_t count) override;

  SerialHandle port_ = kNoSerialPort;
  int32_t port_number_ = -1;  // when opened by number
  int32_t attached_ = -1;     // the handle given to Attach, for Activate
  int32_t saved_mode_ = -1;
  bool taken_over_ = false;
  // The line reported a hang-up or an error (where its modem status cannot say).
  std::atomic<bool> hung_up_{false};
  SerialTransfer transfer_;
};
