// How often each entry point of the fake DOOR32 was called, so a test can tell whether the door
// asked the library at all.
#include <map>
#include <mutex>

#include "fake_bbs.h"

namespace {
std::mutex guard;
std::map<std::string, int32_t> counts;
}  // namespace

void FakeCount(const char* entry) {
  std::lock_guard<std::mutex> hold(guard);
  ++counts[entry];
}

extern "C" FAKE_EXPORT int32_t FakeDoor32Calls(const char* entry) {
  std::lock_guard<std::mutex> hold(guard);
  auto found = counts.find(entry);
  return found == counts.end() ? 0 : found->second;
}
