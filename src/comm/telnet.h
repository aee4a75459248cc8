// The caller on a telnet socket that the BBS accepted and handed over.
#pragma once
#include <atomic>

#include "comm/comm_channel.h"
#include "comm/telnet_filter.h"
#include "runtime/sockets.h"

class TelnetChannel : public CommChannel {
 public:
  static constexpr int32_t kBaud = 115'200;
  static constexpr int32_t kReceiveStep = 1'024;
  static constexpr size_t kSendBufferSize = 65'521;

  TelnetChannel() = default;
  ~TelnetChannel() override;

  ChannelKind Kind() const override { return ckTelnet; }
  void Attach(int32_t handle) override;
  bool OpenPort(uint8_t, int32_t, uint8_t, char, uint8_t) override { return true; }
  bool Open(uint8_t port) override;
  void GetStatus(uint8_t& line_status, uint8_t& modem_status) override;
  void SetLine(int32_t, char, uint8_t, uint8_t) override {}
  int32_t GetBaud() override { return kBaud; }
  void GetBufferStatus(int32_t& in_free, int32_t& out_free, int32_t& in_used,
                       int32_t& out_used) override;
  void SetDtr(bool raise) override;
  bool CharReady() override;
  bool Carrier() override;
  int32_t Handle() override { return socket_; }
  void Close() override;
  void Activate(bool reopen) override;

  void ReadingLoop() override;
  void WritingLoop() override;

 private:
  // Announcements and option replies go straight onto the socket, outside the output queue.
  void RawSend(const uint8_t* bytes, size_t n);
  void ReceiveStep();
  void SendStep(uint8_t* send_buffer);

  std::atomic<bool> force_read_{true};
  std::atomic<bool> alive_{true};
  TelnetFilter filter_;
  SocketHandle socket_ = kNoSocket;
  bool half_sent_ = false;  // the writer stopped between the two halves of a doubled 255
};
