// A fake WCSRV: the logged-in caller and the node, as the test's environment says.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "comm/door32_library.h"
#include "fake_bbs.h"

namespace {

void Put32(uint8_t* at, int32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

// "result,node,ansi,minutes,name"; the name is the rest, commas and all.
bool Fields(int32_t (&numbers)[4], std::string& name) {
  std::string text = FakeEnv("ZORVAN_FAKE_WCSRV");
  for (int32_t& number : numbers) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    number = static_cast<int32_t>(std::strtol(text.substr(0, comma).c_str(), nullptr, 10));
    text.erase(0, comma + 1);
  }
  name = text;
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
  Put32(block + 700, numbers[2]);
  Put32(block + 832, numbers[3]);
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
