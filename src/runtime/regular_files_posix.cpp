#include <sys/stat.h>

#include "runtime/regular_files.h"

bool PathIsRegularFile(const std::string& path) {
  struct stat info{};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
