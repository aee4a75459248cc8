#include <windows.h>

#include "runtime/files_os.h"
#include "runtime/regular_files.h"

bool PathIsRegularFile(const std::string& path) {
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool FileOpenRegular(OsFile& file, const std::string& path) {
  FileClose(file);
  // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open; a pipe or a device does, so
  // what opened is asked what it is.
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    FileSetLastError(static_cast<int>(GetLastError()));
    return false;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    FileSetLastError(ERROR_BAD_FILE_TYPE);
    return false;
  }
  file.Adopt(reinterpret_cast<intptr_t>(handle));
  return true;
}
