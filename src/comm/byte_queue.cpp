#include "comm/byte_queue.h"

#include <algorithm>
#include <cstring>

ByteQueue::ByteQueue(int32_t capacity)
    : capacity_(std::max(capacity, 0)), bytes_(static_cast<size_t>(capacity_)),
      staging_(kStagingSize) {}

int32_t ByteQueue::Free() {
  std::lock_guard<std::mutex> hold(guard_);
  return capacity_ - count_;
}

int32_t ByteQueue::Count() {
  std::lock_guard<std::mutex> hold(guard_);
  return count_;
}

int32_t ByteQueue::Put(const void* source, int32_t n) {
  std::lock_guard<std::mutex> hold(guard_);
  n = std::clamp(n, 0, capacity_ - count_);
  if (n == 0) return 0;
  // The stored bytes stay one run from the read position; move them to the front when the new ones
  // would not fit behind.
  if (read_ + count_ + n > capacity_) {
    std::memmove(bytes_.data(), bytes_.data() + read_, static_cast<size_t>(count_));
    read_ = 0;
  }
  std::memcpy(bytes_.data() + read_ + count_, source, static_cast<size_t>(n));
  count_ += n;
  return n;
}

int32_t ByteQueue::Get(void* destination, int32_t n, bool remove) {
  std::lock_guard<std::mutex> hold(guard_);
  n = std::clamp(n, 0, count_);
  if (n == 0) return 0;
  std::memcpy(destination, bytes_.data() + read_, static_cast<size_t>(n));
  if (remove) {
    read_ += n;
    count_ -= n;
    if (count_ == 0) read_ = 0;
  }
  return n;
}

void ByteQueue::Clear() {
  std::lock_guard<std::mutex> hold(guard_);
  read_ = 0;
  count_ = 0;
}
