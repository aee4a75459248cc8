#include "comm/winserver.h"

#include <algorithm>
#include <limits>

#include "runtime/dynamic_library.h"

namespace {

constexpr size_t kNameAt = 8, kNameSize = 72, kAnsiAt = 700, kMinutesAt = 832;

WildcatLoggedInProc logged_in_entry = nullptr;
GetNodeProc get_node_entry = nullptr;

int32_t LittleEndian32(const uint8_t* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | bytes[i];
  return static_cast<int32_t>(value);
}

}  // namespace

bool LoadWinServer() {
  if (logged_in_entry != nullptr) return true;
  LibraryHandle library = LibraryLoad(LibraryFileName("WCSRV"));
  if (library == nullptr) return false;
  auto logged_in = reinterpret_cast<WildcatLoggedInProc>(LibraryEntry(library, "WildcatLoggedIn"));
  auto get_node = reinterpret_cast<GetNodeProc>(LibraryEntry(library, "GetNode"));
  // Half a library would be called through a null address: it counts as none.
  if (logged_in == nullptr || get_node == nullptr) {
    LibraryFree(library);
    return false;
  }
  logged_in_entry = logged_in;
  get_node_entry = get_node;
  return true;
}

int32_t WildcatLoggedIn(uint8_t (&user_block)[kWinServerUserSize]) {
  return logged_in_entry != nullptr ? logged_in_entry(user_block) : 0;
}

int32_t GetNode() { return get_node_entry != nullptr ? get_node_entry() : 0; }

WinServerUser WinServerUserFromBlock(const uint8_t (&user_block)[kWinServerUserSize]) {
  const char* field = reinterpret_cast<const char*>(user_block + kNameAt);
  const std::string_view name(field, kNameSize);
  WinServerUser user;
  user.UserName = std::string(name.substr(0, std::min(name.find('\0'), kNameSize - 1)));
  // The first word ends at a blank, or where the name ends: a one-word name is not followed by the
  // field's filler zeros.
  user.Alias = std::string(name.substr(0, name.find_first_of(std::string_view(" \0", 2))));
  user.Ansi = LittleEndian32(user_block + kAnsiAt) == 0;
  // Held to the largest time a session can count, however many minutes the BBS grants.
  const int64_t seconds = int64_t{LittleEndian32(user_block + kMinutesAt)} * 60;
  user.TimeLimit = static_cast<int32_t>(std::clamp<int64_t>(
      seconds, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  return user;
}
