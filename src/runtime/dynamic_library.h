// Libraries that the BBS supplies, loaded by name at run time, and the event handles they hand out.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

using LibraryHandle = void*;

// The platform's file name of a BBS library: "DOOR32" is DOOR32.DLL on Windows, libdoor32.so on
// POSIX. Either is looked up where the system looks for libraries (Windows: the program's folder
// first; POSIX: LD_LIBRARY_PATH and the loader's own list).
std::string LibraryFileName(std::string_view base);
// nullptr when the library cannot be found or loaded.
LibraryHandle LibraryLoad(const std::string& file_name);
// The entry point's address, or nullptr when the library has none of that name.
void* LibraryEntry(LibraryHandle library, const char* name);
void LibraryFree(LibraryHandle library);

// An event handle given out by a BBS library. Windows: the HANDLE of an event object. POSIX: an
// open file descriptor that polls readable while the event is signalled (a pipe or eventfd the
// library fills, or a socket with bytes waiting).
using LibraryEvent = intptr_t;
// A wait of 0 ms: true only when the event is signalled now. A handle that cannot be waited on is
// not signalled.
bool LibraryEventSignalled(LibraryEvent event);
