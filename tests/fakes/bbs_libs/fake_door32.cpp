// A fake DOOR32: DoorInitialize connects to the port ZORVAN_FAKE_DOOR32_PORT names, and a watcher
// thread keeps the events as the line is (the system's part: fake_door32.h).
#include "fake_door32.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "comm/door32_library.h"
#include "fake_bbs.h"

namespace {
bool connected = false;
std::atomic<bool> stopping{false};
std::thread watcher;
}  // namespace

extern "C" {

FAKE_EXPORT int32_t DoorInitialize(void) {
  const int port = std::atoi(FakeEnv("ZORVAN_FAKE_DOOR32_PORT").c_str());
  if (port <= 0 || connected || !(connected = LineOpen(port))) return 0;
  stopping = false;
  watcher = std::thread(LineWatch, std::cref(stopping));
  return 1;
}

FAKE_EXPORT void DoorShutdown(void) {
  stopping = true;
  if (watcher.joinable()) watcher.join();
  if (connected) LineClose();
  connected = false;
}

FAKE_EXPORT int32_t DoorWrite(const void* buffer, int32_t count) {
  const auto* bytes = static_cast<const char*>(buffer);
  for (int32_t sent = 0; sent < count;) {
    const int n = LineSend(bytes + sent, count - sent);
    if (n < 0) return sent;  // the test hung up
    if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the test reads on
    sent += n;
  }
  return count;
}

FAKE_EXPORT int32_t DoorRead(void* buffer, int32_t size) { return LineReceive(buffer, size); }

FAKE_EXPORT intptr_t DoorGetAvailableEventHandle(void) { return AvailableEvent(); }

#ifndef FAKE_LACKS_ENTRY
FAKE_EXPORT intptr_t DoorGetOfflineEventHandle(void) { return OfflineEvent(); }
#endif

}  // extern "C"
