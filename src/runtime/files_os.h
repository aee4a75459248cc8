// Shared between files.cpp and the per-platform file code: the last-error slot and the close of a
// native handle (OsFile is platform-free apart from that one call).
#pragma once
#include <cstdint>

void FileSetLastError(int os_error);
void FileCloseNative(intptr_t handle);
// Whether the current open mode denies every other opener (sharing code 1 in bits 4-6).
bool FileModeIsExclusive();
