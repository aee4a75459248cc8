// The platform-free part of the file layer: the open mode, the last error, OsFile ownership and the
// whole-file read built on the positioned one, and a path's name and folder.
#include "runtime/files.h"

#include <algorithm>
#include <utility>

#include "runtime/files_os.h"

namespace {
struct FilesState {
  uint8_t open_mode = fmShared;
  int last_error = 0;
};
FilesState files;
}  // namespace

void SetFileOpenMode(uint8_t mode) { files.open_mode = mode; }
uint8_t CurrentFileOpenMode() { return files.open_mode; }
bool FileModeIsExclusive() { return (files.open_mode & 0x70) == 0x10; }

void FilesReset() { files = {}; }

int FileLastError() { return files.last_error; }
void FileSetLastError(int os_error) { files.last_error = os_error; }

OsFile::~OsFile() {
  if (IsOpen()) FileCloseNative(Release());
}

OsFile::OsFile(OsFile&& other) noexcept : handle_(other.Release()) {}

OsFile& OsFile::operator=(OsFile&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) FileCloseNative(Release());
    handle_ = other.Release();
  }
  return *this;
}

void OsFile::Adopt(intptr_t handle) {
  if (IsOpen()) FileCloseNative(Release());
  handle_ = handle;
}

intptr_t OsFile::Release() {
  intptr_t handle = handle_;
  handle_ = kNoHandle;
  return handle;
}

void FileClose(OsFile& file) {
  if (file.IsOpen()) FileCloseNative(file.Release());
}

bool FileReadHead(OsFile& file, size_t max, std::string& out) {
  int64_t length = FileLength(file);
  if (length < 0) return false;
  std::string bytes(static_cast<size_t>(std::min<int64_t>(length, static_cast<int64_t>(max))), '\0');
  if (!bytes.empty() && !FileReadAt(file, 0, bytes.data(), bytes.size())) return false;
  out = std::move(bytes);
  return true;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

std::string DirName(const std::string& path) {
  return path.substr(0, path.find_last_of("/\\") + 1);
}
