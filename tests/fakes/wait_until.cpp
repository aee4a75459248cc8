#include "fakes/wait_until.h"

#include <chrono>
#include <thread>

bool WaitUntil(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::string ReceiveUntil(SocketHandle socket, size_t n) {
  std::string got;
  char buffer[4096];
  WaitUntil([&] {
    for (int r; got.size() < n && SocketWait(socket, false, 0) > 0 &&
                (r = SocketRecv(socket, buffer, sizeof buffer)) > 0;)
      got.append(buffer, static_cast<size_t>(r));
    return got.size() >= n;
  });
  return got;
}
