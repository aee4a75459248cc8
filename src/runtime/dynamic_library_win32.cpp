#include <windows.h>

#include "runtime/dynamic_library.h"

std::string LibraryFileName(std::string_view base) { return std::string(base) + ".DLL"; }

LibraryHandle LibraryLoad(const std::string& file_name) {
  // No error box for a missing library: the door reports it as a caller without carrier.
  const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(file_name.c_str());
  SetErrorMode(mode);
  return reinterpret_cast<LibraryHandle>(module);
}

void* LibraryEntry(LibraryHandle library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void LibraryFree(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

bool LibraryEventSignalled(LibraryEvent event) {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(event), 0) == WAIT_OBJECT_0;
}
