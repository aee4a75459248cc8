// A fake WCSRV: the logged-in caller and the node, as ZORVAN_FAKE_WCSRV says:
// "result,node,ansi,minutes,name" (unset: nobody is logged in).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/door32_library.h"

namespace {

struct User {
  int32_t result = 0, node = 0, ansi = 0, minutes = 0;
  std::string name;  // the rest, commas and all
};

User FromEnv() {
  User user;
  const char* text = std::getenv("ZORVAN_FAKE_WCSRV");
  int name_at = -1;
  if (text != nullptr)
    std::sscanf(text, "%d,%d,%d,%d,%n", &user.result, &user.node, &user.ansi, &user.minutes,
                &name_at);
  if (name_at < 0) return {};
  user.name = text + name_at;
  return user;
}

}  // namespace

extern "C" {

FAKE_EXPORT int32_t WildcatLoggedIn(void* user_block) {
  const User user = FromEnv();
  auto* block = static_cast<uint8_t*>(user_block);
  // Filler that is neither zero nor blank: a reader that runs past the name field shows it.
  std::memset(block, 0xA5, kWinServerUserSize);
  std::memset(block + 8, 0, 72);
  std::memcpy(block + 8, user.name.data(), std::min<size_t>(user.name.size(), 72));
  std::memcpy(block + 700, &user.ansi, 4);  // little-endian, as on every target we build
  std::memcpy(block + 832, &user.minutes, 4);
  return user.result;
}

#ifndef FAKE_LACKS_ENTRY
FAKE_EXPORT int32_t GetNode(void) { return FromEnv().node; }
#endif

}  // extern "C"
