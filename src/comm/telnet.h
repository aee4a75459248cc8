// The caller on a telnet socket that the BBS accepted and handed over.
#pragma once
#include <atomic>
#include <vector>

#include "comm/comm_channel.h"
#include "comm/telnet_filter.h"
#include "runtime/sockets.h"

class TelnetChannel : public NetworkChannel {
 public:
  static constexpr size_t kSendBufferSize = 65'521;

  TelnetChannel() = default;
  ~TelnetChannel() override;

  void Attach(int32_t handle) override;
  bool OpenPort(uint8_t, int32_t, uint8_t, char, uint8_t) override { return true; }
  bool Open(uint8_t port) override;
  bool Carrier() override { return alive_; }
  int32_t Handle() override { return socket_; }
  void Close() override;

 private:
  // A closed connection stays readable: once it was seen, there is nothing more to ask or wait on.
  // A socket the system no longer knows counts too, so that a step's recv reports it.
  bool LineHasInput() override { return alive_ && SocketWait(socket_, false, 0) != 0; }
  WaitSource LineWaitSource() override;
  // Announcements and option replies go straight onto the socket, outside the output queue.
  void RawSend(const uint8_t* bytes, size_t n);
  void ReceiveStep() override;
  bool LineWritable(uint32_t wait_ms) override;
  int32_t SendChunk(const uint8_t* bytes, int32_t count) override;

  std::atomic<bool> alive_{true};
  TelnetFilter filter_;
  SocketHandle socket_ = kNoSocket;
  // The writer's own: the escaped bytes of one send, whether it stopped between the two halves of a
  // doubled 255, and whether its last send failed outright.
  std::vector<uint8_t> send_buffer_ = std::vector<uint8_t>(kSendBufferSize);
  bool half_sent_ = false;
  bool send_failed_ = false;
};
