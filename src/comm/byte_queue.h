// One direction of a channel's bytes between the main thread and an I/O thread.
#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

class ByteQueue {
 public:
  static constexpr int32_t kChannelCapacity = 32'768;
  static constexpr int32_t kStagingSize = 65'521;

  explicit ByteQueue(int32_t capacity);
  int32_t Free();
  int32_t Count();
  // Appends min(n, Free) bytes; returns how many (0 for n below 0).
  int32_t Put(const void* source, int32_t n);
  // Copies min(n, Count) bytes from the front; consumes them when remove is true.
  int32_t Get(void* destination, int32_t n, bool remove);
  void Clear();
  int32_t Capacity() const { return capacity_; }

  // The buffer of one system call of the I/O thread that owns this direction (the bytes taken out
  // for sending, or those just received). Only that thread touches it.
  uint8_t* Staging() { return staging_.data(); }

 private:
  // Put and Get each hold this guard: the reader thread's Put and the main thread's Get never
  // interleave, whatever channel lock the caller holds or not.
  std::mutex guard_;
  int32_t capacity_;
  std::vector<uint8_t> bytes_;
  int32_t read_ = 0;
  int32_t count_ = 0;
  std::vector<uint8_t> staging_;
};
