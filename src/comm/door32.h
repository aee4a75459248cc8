// The caller reached through the BBS's DOOR32 library: a reading and a writing thread move bytes
// between the library and the two queues; the library's events tell whether input is waiting and
// whether the caller is still online.
#pragma once
#include <atomic>

#include "comm/comm_channel.h"
#include "comm/door32_library.h"
#include "runtime/dynamic_library.h"

class Door32Channel : public NetworkChannel {
 public:
  // Loads and initialises the library; ErrorFlag when it is missing, lacks an entry point or is not
  // ready for this caller.
  Door32Channel();
  // Stops the threads, shuts the library down (when it was initialised) and unloads it.
  ~Door32Channel() override;

  void Attach(int32_t handle) override;
  bool OpenPort(uint8_t, int32_t, uint8_t, char, uint8_t) override;
  bool Open(uint8_t port) override;
  bool Carrier() override;
  int32_t Handle() override { return attached_; }
  void Close() override;

 private:
  bool LineHasInput() override;
  WaitSource LineWaitSource() override;
  bool Bind();
  void ReceiveStep() override;
  int32_t SendChunk(const uint8_t* bytes, int32_t count) override;

  LibraryHandle library_ = nullptr;
  DoorInitializeProc door_initialize_ = nullptr;
  DoorShutdownProc door_shutdown_ = nullptr;
  DoorWriteProc door_write_ = nullptr;
  DoorReadProc door_read_ = nullptr;
  DoorGetAvailableEventHandleProc available_event_ = nullptr;
  DoorGetOfflineEventHandleProc offline_event_ = nullptr;
  std::atomic<bool> ready_{false};
  int32_t attached_ = 0;  // kept for Handle only; the library knows its own line
};
