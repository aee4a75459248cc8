// The caller on the process's standard input and output: a BBS that starts its doors joined to
// the caller (a pseudo-terminal for SSH and telnet callers, or pipes) instead of passing a socket.
#pragma once
#include <atomic>

#include "comm/comm_channel.h"

class StdioChannel : public NetworkChannel {
 public:
  // utf8: the caller's terminal takes UTF-8 (a console on standard output is told so).
  explicit StdioChannel(bool utf8 = false) : utf8_(utf8) {}
  ~StdioChannel() override;

  // The handle is only kept: the line is always the standard input and output.
  void Attach(int32_t handle) override;
  bool OpenPort(uint8_t, int32_t, uint8_t, char, uint8_t) override { return Open(0); }
  bool Open(uint8_t port) override;
  // The end of input, a hang-up or a failed write is a lost caller; asking wakes the reader so that
  // such an end is seen.
  bool Carrier() override;
  int32_t Handle() override { return handle_; }
  // The threads stop and the terminal gets its mode back; the descriptors stay open (the BBS's).
  void Close() override;

 private:
  bool LineHasInput() override;
  WaitSource LineWaitSource() override;
  void ReceiveStep() override;
  bool LineWritable(uint32_t wait_ms) override;
  int32_t SendChunk(const uint8_t* bytes, int32_t count) override;
  void Lost(std::string_view text, int error);

  // How long a closing door waits for the other end to read its last output.
  static constexpr uint32_t kLastOutputWaitMs = 1'000;

  const bool utf8_;
  int32_t handle_ = 0;
  std::atomic<bool> alive_{true};
};
