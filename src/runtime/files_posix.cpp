// Files on POSIX. The exclusive open mode is a set of advisory whole-file locks taken without
// waiting, one of each kind a native game node may use, so that a node holding any of them keeps the
// editor out and the editor's hold keeps each of them out.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/files.h"
#include "runtime/files_os.h"

namespace {

#ifdef F_OFD_SETLK
constexpr int kOfdSetLock = F_OFD_SETLK;
#else
constexpr int kOfdSetLock = -1;  // fcntl refuses it with EINVAL, as a kernel without OFD locks does
#endif

bool Fail() {
  FileSetLastError(errno);
  return false;
}

bool SetRecordLock(int fd, int command, short type) {
  struct flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;  // l_start 0, l_len 0: the whole file, however long it grows
  return fcntl(fd, command, &lock) == 0;
}

// One whole-file lock of that kind, without waiting. A lock held elsewhere leaves EAGAIN (fcntl may
// report it as EACCES, flock as EWOULDBLOCK).
bool TakeLock(int fd, FileLockKind kind, bool write) {
  for (;;) {
    bool taken = kind == lkFlock
                     ? flock(fd, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0
                     : SetRecordLock(fd, kind == lkOfd ? kOfdSetLock : F_SETLK,
                                     write ? F_WRLCK : F_RDLCK);
    if (taken) return true;
    if (errno == EINTR) continue;
    if (errno == EACCES || errno == EWOULDBLOCK) errno = EAGAIN;
    return false;
  }
}

// The exclusive mode's locks: an OFD lock, which classic record locks conflict with too, and a
// flock, which on local file systems is separate from both. They belong to this one open, so two
// exclusive opens in one process exclude each other as share modes do on Windows, and closing
// releases both. A read-only descriptor cannot hold a write lock, so a read-only exclusive open
// takes read locks: it still shuts out every writer, only other readers may share it.
bool LockWholeFile(int fd, bool write) {
  bool ofd = TakeLock(fd, lkOfd, write);
  // EINVAL: no OFD locks here, the flock has to do. Anything else (held, or ENOLCK from a network
  // file system without its lock service) fails the open: we cannot keep the nodes out.
  if (!ofd && errno != EINVAL) return false;
  if (TakeLock(fd, lkFlock, write)) return true;
  if (errno != EAGAIN) return ofd;  // no flock on this file system, so no node can hold one
  if (!ofd) return false;
  // NFS clients carry a flock to the server as a whole-file record lock. Should the server count
  // it as another owner than our OFD lock, we would be refusing ourselves: drop the OFD lock and
  // ask again. Still refused, a node holds a flock; granted, the flock is a record lock that every
  // node's lock of either kind meets, and is enough alone.
  SetRecordLock(fd, kOfdSetLock, F_UNLCK);
  return TakeLock(fd, lkFlock, write);
}

// Only a plain file opens, and the open never waits: without O_NONBLOCK a FIFO would wait for
// its other end for good. A directory keeps its own error; a pipe, device or socket is refused
// before anything reads or locks it.
int OpenPlain(const std::string& path, int flags) {
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENXIO) errno = kFileErrorNotPlain;  // a FIFO with no reader, a socket
    return -1;
  }
  struct stat info{};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : kFileErrorNotPlain;
    close(fd);
    errno = error;
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

// Opens with the current mode's locks; -1 (and the error) on failure.
int OpenLocked(const std::string& path, int flags, bool write) {
  int fd = OpenPlain(path, flags);
  if (fd < 0) return -1;
  if (FileModeIsExclusive() && !LockWholeFile(fd, write)) {
    int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// strerror_r comes as the GNU (char*) or the XSI (int) variant; these pick the text from either.
[[maybe_unused]] const char* ErrorTextOf(const char* result, const char*) { return result; }
[[maybe_unused]] const char* ErrorTextOf(int, const char* buffer) { return buffer; }

bool EqualIgnoringAsciiCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
  }
  return a[i] == '\0' && i == b.size();
}

}  // namespace

void FileCloseNative(intptr_t handle) { close(static_cast<int>(handle)); }

bool FileOpen(OsFile& file, const std::string& path, FileAccess access, bool create) {
  FileClose(file);
  bool write = access != faRead;
  int flags = write ? O_RDWR : O_RDONLY;
  if (access == faAppend) flags |= O_APPEND;
  int fd = OpenLocked(path, flags | (create ? O_CREAT : 0), write);
  if (fd < 0) return Fail();
  file.Adopt(fd);
  return true;
}

bool FileOpenLockedAs(OsFile& file, const std::string& path, FileLockKind kind) {
  FileClose(file);
  int fd = OpenPlain(path, O_RDWR);
  if (fd < 0) return Fail();
  if (!TakeLock(fd, kind, true)) {
    Fail();
    close(fd);
    return false;
  }
  file.Adopt(fd);
  return true;
}

bool FileCreateEmpty(const std::string& path) {
  // Truncate only once the lock is ours: O_TRUNC would empty a file that another node holds.
  OsFile file;
  int fd = OpenLocked(path, O_WRONLY | O_CREAT, true);
  if (fd < 0) return Fail();
  file.Adopt(fd);
  return FileTruncate(file, 0);
}

bool FileReadAt(OsFile& file, int64_t offset, void* buffer, size_t n) {
  auto* bytes = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t got = pread(static_cast<int>(file.Native()), bytes + done, n - done,
                        static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail();
    if (got == 0) {
      FileSetLastError(0);  // end of file
      return false;
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

bool FileWriteAt(OsFile& file, int64_t offset, const void* buffer, size_t n) {
  const auto* bytes = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t put = pwrite(static_cast<int>(file.Native()), bytes + done, n - done,
                         static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return Fail();
    if (put == 0) {
      FileSetLastError(EIO);  // no progress: stop rather than spin
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

bool FileWriteAtEnd(OsFile& file, const void* buffer, size_t n) {
  const auto* bytes = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t put = write(static_cast<int>(file.Native()), bytes + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return Fail();
    if (put == 0) {
      FileSetLastError(EIO);
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

bool FileCreateWhole(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".new" + std::to_string(getpid());
  OsFile file;
  int fd = OpenPlain(temporary, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd < 0) return Fail();
  file.Adopt(fd);
  bool written = FileWriteAt(file, 0, bytes.data(), bytes.size());
  int error = FileLastError();
  FileClose(file);
  // link refuses a name that exists, where rename would replace it.
  bool placed = written && link(temporary.c_str(), path.c_str()) == 0;
  if (written && !placed) error = errno;
  if (written && !placed && error != EEXIST) {  // no hard links here (FAT, SMB): rename will do
    placed = rename(temporary.c_str(), path.c_str()) == 0;
    if (!placed) error = errno;
  }
  unlink(temporary.c_str());
  if (!placed) FileSetLastError(error);
  return placed;
}

bool FileErrorIsAlreadyThere(int os_error) { return os_error == EEXIST; }

bool FileLockOurs(OsFile& file) {
  return TakeLock(static_cast<int>(file.Native()), lkFlock, true) || Fail();
}

void FileUnlockOurs(OsFile& file) { flock(static_cast<int>(file.Native()), LOCK_UN); }

bool FileIsUnlinked(OsFile& file) {
  struct stat info{};
  return fstat(static_cast<int>(file.Native()), &info) != 0 || info.st_nlink == 0;
}

bool FileLockWriters(OsFile& file) {
  return LockWholeFile(static_cast<int>(file.Native()), true) || Fail();
}

int64_t FileLength(OsFile& file) {
  struct stat info{};
  if (fstat(static_cast<int>(file.Native()), &info) != 0) {
    Fail();
    return -1;
  }
  return static_cast<int64_t>(info.st_size);
}

bool FileTruncate(OsFile& file, int64_t length) {
  while (ftruncate(static_cast<int>(file.Native()), static_cast<off_t>(length)) != 0) {
    if (errno != EINTR) return Fail();
  }
  return true;
}

bool PathExists(const std::string& path) {
  struct stat info{};
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool PathIsDirectory(const std::string& path) {
  struct stat info{};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileRemove(const std::string& path) { return unlink(path.c_str()) == 0 || Fail(); }

bool SetWorkingDirectory(const std::string& path) { return chdir(path.c_str()) == 0 || Fail(); }

std::string OsErrorText(int os_error) {
  if (os_error == kFileErrorNotPlain) return kFileNotPlainText;
  char buffer[256] = "";
  return ErrorTextOf(strerror_r(os_error, buffer, sizeof buffer), buffer);
}

char PathSeparator() { return '/'; }

bool PathEndsInSeparator(const std::string& path) { return !path.empty() && path.back() == '/'; }

std::string GameFilePath(const std::string& dir, const std::string& name) {
  std::string exact = dir + name;
  if (name.empty() || name.find('/') != std::string::npos || PathExists(exact)) return exact;
  DIR* listing = opendir(dir.empty() ? "." : dir.c_str());
  if (listing == nullptr) return exact;
  // Several spellings may match; the smallest is taken so that the choice does not hang on readdir order.
  std::string found;
  while (const dirent* entry = readdir(listing)) {
    if (EqualIgnoringAsciiCase(entry->d_name, name) && (found.empty() || found > entry->d_name)) {
      found = entry->d_name;
    }
  }
  closedir(listing);
  return found.empty() ? exact : dir + found;
}

bool FileErrorIsSharingConflict(int os_error) {
  // The locks report a holder as EAGAIN (EACCES is a permission error of the open).
  return os_error == EAGAIN || os_error == EWOULDBLOCK;
}
