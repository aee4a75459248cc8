// A fake WCSRV: the logged-in caller and the node, as ZORVAN_FAKE_WCSRV says:
// "result,node,ansi,minutes,name" (unset: nobody is logged in).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/door32_library.h"

namespace {

// "result,node,ansi,minutes,name"; the name is the rest, commas and all.
bool Fields(int32_t (&numbers)[4], std::string& name) {
  const char* env = std::getenv("ZORVAN_FAKE_WCSRV");
  const std::string text = env != nullptr ? env : "";
  int name_at = -1;
  std::sscanf(text.c_str(), "%d,%d,%d,%d,%n", &numbers[0], &numbers[1], &numbers[2], &numbers[3],
              &name_at);
  if (name_at < 0) return false;
  name = text.substr(static_cast<size_t>(name_at));
  return true;
}

}  // namespace

extern "C" {

FAKE_EXPORT int32_t WildcatLoggedIn(void* user_block) {
  int32_t numbers[4];
  std::string name;
  if (!Fields(numbers, name)) return 0;
  auto* block = static_cast<uint8_t*>(user_block);
  // Filler that is neither zero nor blank: a reader that runs past the name field shows it.
  std::memset(block, 0xA5, kWinServerUserSize);
  std::memset(block + 8, 0, 72);
  std::memcpy(block + 8, name.data(), std::min<size_t>(name.size(), 72));
  std::memcpy(block + 700, &numbers[2], 4);  // little-endian, as on every target we build
  std::memcpy(block + 832, &numbers[3], 4);
  return numbers[0];
}

#ifndef FAKE_LACKS_ENTRY
FAKE_EXPORT int32_t GetNode(void) {
  int32_t numbers[4];
  std::string name;
  return Fields(numbers, name) ? numbers[1] : 0;
}
#endif

}  // extern "C"
