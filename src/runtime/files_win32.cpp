// Files on Windows: the open modes are share modes of CreateFileA; reads and writes carry their
// offset in an OVERLAPPED, so no file pointer is shared between them.
#include <windows.h>

#include <cstdint>

#include "runtime/files.h"
#include "runtime/files_os.h"

namespace {

bool Fail() {
  FileSetLastError(static_cast<int>(GetLastError()));
  return false;
}

HANDLE NativeOf(const OsFile& file) { return reinterpret_cast<HANDLE>(file.Native()); }

DWORD ShareMode() { return FileModeIsExclusive() ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE; }

// Only a file on disk: a pipe or a device opens too, so what opened is asked what it is.
HANDLE OpenHandle(const std::string& path, DWORD access, DWORD disposition) {
  HANDLE handle = CreateFileA(path.c_str(), access, ShareMode(), nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    SetLastError(kFileErrorNotPlain);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

OVERLAPPED At(int64_t offset) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
  where.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  return where;
}

constexpr size_t kMaxChunk = 1u << 30;  // ReadFile and WriteFile count in DWORDs

}  // namespace

void FileCloseNative(intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

bool FileOpen(OsFile& file, const std::string& path, FileAccess access, bool create) {
  FileClose(file);
  DWORD rights = GENERIC_READ | (access != faRead ? GENERIC_WRITE : 0);
  HANDLE handle = OpenHandle(path, rights, create ? OPEN_ALWAYS : OPEN_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) return Fail();
  file.Adopt(reinterpret_cast<intptr_t>(handle));
  return true;
}

// Nodes here keep each other out with share modes, not locks.
bool FileOpenLockedAs(OsFile& file, const std::string&, FileLockKind) {
  FileClose(file);
  FileSetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

bool FileCreateEmpty(const std::string& path) {
  HANDLE handle = OpenHandle(path, GENERIC_WRITE, CREATE_ALWAYS);
  if (handle == INVALID_HANDLE_VALUE) return Fail();
  CloseHandle(handle);
  return true;
}

bool FileReadAt(OsFile& file, int64_t offset, void* buffer, size_t n) {
  auto* bytes = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < n) {
    OVERLAPPED where = At(offset + static_cast<int64_t>(done));
    DWORD want = static_cast<DWORD>(n - done < kMaxChunk ? n - done : kMaxChunk);
    DWORD got = 0;
    if (!ReadFile(NativeOf(file), bytes + done, want, &got, &where)) {
      if (GetLastError() != ERROR_HANDLE_EOF) return Fail();
      got = 0;
    }
    if (got == 0) {
      FileSetLastError(0);  // end of file
      return false;
    }
    done += got;
  }
  return true;
}

bool FileWriteAt(OsFile& file, int64_t offset, const void* buffer, size_t n) {
  const auto* bytes = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < n) {
    OVERLAPPED where = At(offset + static_cast<int64_t>(done));
    DWORD want = static_cast<DWORD>(n - done < kMaxChunk ? n - done : kMaxChunk);
    DWORD put = 0;
    if (!WriteFile(NativeOf(file), bytes + done, want, &put, &where)) return Fail();
    if (put == 0) {
      FileSetLastError(ERROR_WRITE_FAULT);  // no progress: stop rather than spin
      return false;
    }
    done += put;
  }
  return true;
}

bool FileWriteAtEnd(OsFile& file, const void* buffer, size_t n) {
  const auto* bytes = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < n) {
    OVERLAPPED end{};  // both offsets all ones: the end of the file as the system finds it
    end.Offset = 0xFFFFFFFFu;
    end.OffsetHigh = 0xFFFFFFFFu;
    DWORD want = static_cast<DWORD>(n - done < kMaxChunk ? n - done : kMaxChunk);
    DWORD put = 0;
    if (!WriteFile(NativeOf(file), bytes + done, want, &put, &end)) return Fail();
    if (put == 0) {
      FileSetLastError(ERROR_WRITE_FAULT);  // no progress: stop rather than spin
      return false;
    }
    done += put;
  }
  return true;
}

bool FileCreateWhole(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".new" + std::to_string(GetCurrentProcessId());
  HANDLE handle = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail();
  OsFile file;
  file.Adopt(reinterpret_cast<intptr_t>(handle));
  bool written = FileWriteAt(file, 0, bytes.data(), bytes.size());
  FileClose(file);
  // Without MOVEFILE_REPLACE_EXISTING the move refuses a name that exists.
  bool placed = written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  if (!placed) {
    if (written) Fail();
    DeleteFileA(temporary.c_str());
  }
  return placed;
}

bool FileErrorIsAlreadyThere(int os_error) {
  return os_error == ERROR_ALREADY_EXISTS || os_error == ERROR_FILE_EXISTS;
}

bool FileLockOurs(OsFile& file) { return FileLockWriters(file); }

void FileUnlockOurs(OsFile& file) {
  OVERLAPPED where = At(INT64_MAX - 1);
  UnlockFileEx(NativeOf(file), 0, 1, 0, &where);
}

// An open file cannot lose its name here: deleting it waits for the last handle.
bool FileIsUnlinked(OsFile&) { return false; }

bool FileLockWriters(OsFile& file) {
  // A byte far past any real end: locking it keeps no reader from the text.
  OVERLAPPED where = At(INT64_MAX - 1);
  return LockFileEx(NativeOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &where) ||
         Fail();
}

int64_t FileLength(OsFile& file) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(NativeOf(file), &size)) {
    Fail();
    return -1;
  }
  return size.QuadPart;
}

bool FileTruncate(OsFile& file, int64_t length) {
  LARGE_INTEGER where{};
  where.QuadPart = length;
  if (!SetFilePointerEx(NativeOf(file), where, nullptr, FILE_BEGIN)) return Fail();
  return SetEndOfFile(NativeOf(file)) || Fail();
}

bool PathExists(const std::string& path) {
  return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool PathIsDirectory(const std::string& path) {
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileRemove(const std::string& path) { return DeleteFileA(path.c_str()) || Fail(); }

bool SetWorkingDirectory(const std::string& path) {
  return SetCurrentDirectoryA(path.c_str()) || Fail();
}

std::string OsErrorText(int os_error) {
  if (os_error == kFileErrorNotPlain) return kFileNotPlainText;
  char buffer[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(os_error), 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) text = "error " + std::to_string(os_error);
  return text;
}

char PathSeparator() { return '\\'; }

bool PathEndsInSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == ':');
}

// Windows file names ignore case already.
std::string GameFilePath(const std::string& dir, const std::string& name) { return dir + name; }

bool FileErrorIsSharingConflict(int os_error) {
  return os_error == ERROR_SHARING_VIOLATION || os_error == ERROR_LOCK_VIOLATION;
}
