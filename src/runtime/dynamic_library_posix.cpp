#include <dlfcn.h>
#include <poll.h>

#include "runtime/dynamic_library.h"

std::string LibraryFileName(std::string_view base) {
  std::string name = "lib";
  for (char c : base) name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return name + ".so";
}

LibraryHandle LibraryLoad(const std::string& file_name) {
  return dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibraryEntry(LibraryHandle library, const char* name) {
  return library != nullptr ? dlsym(library, name) : nullptr;
}

void LibraryFree(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

// A hang-up counts as signalled: a BBS that closed its end of the offline pipe let the caller go.
bool LibraryEventSignalled(LibraryEvent event) {
  if (event < 0 || event > INT32_MAX) return false;
  pollfd poller{static_cast<int>(event), POLLIN, 0};
  if (poll(&poller, 1, 0) <= 0) return false;
  return (poller.revents & (POLLIN | POLLHUP)) != 0 && (poller.revents & POLLNVAL) == 0;
}
