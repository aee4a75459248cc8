#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/files_os.h"
#include "runtime/regular_files.h"

bool PathIsRegularFile(const std::string& path) {
  struct stat info{};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FileOpenRegular(OsFile& file, const std::string& path) {
  FileClose(file);
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, for good.
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    FileSetLastError(errno);
    return false;
  }
  struct stat info{};
  const int status = fstat(fd, &info);
  const int error = status != 0 ? errno : EINVAL;
  if (status != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    FileSetLastError(error);
    return false;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  file.Adopt(fd);
  return true;
}
