// Plays a game node that holds a file: opens it read/write, locks it the chosen way without waiting,
// says "held" (or "busy" when someone else holds it) on its output and keeps it until its input
// ends, or for MS milliseconds when given. Useful to a sysop too: run it on one node's machine and
// try the editor on another to see whether their locks meet.
//   lock_holder exclusive|record|ofd|flock FILE [MS]
// exclusive is the editor's own exclusive open (share mode 0 on Windows); record (classic fcntl),
// ofd and flock are the native nodes' locks. Exit code 0 after holding, 1 busy, 2 any other failure.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/clock.h"
#include "runtime/files.h"

namespace {

struct LockKindName {
  const char* name;
  int kind;  // a FileLockKind, or -1 for the exclusive open mode
};
const LockKindName kKinds[] = {
    {"exclusive", -1}, {"record", lkRecord}, {"ofd", lkOfd}, {"flock", lkFlock}};

bool Hold(OsFile& file, const std::string& path, int kind) {
  if (kind >= 0) return FileOpenLockedAs(file, path, static_cast<FileLockKind>(kind));
  SetFileOpenMode(fmExclusive);
  return FileOpen(file, path, faReadWrite);
}

}  // namespace

int main(int argc, char** argv) {
  const LockKindName* kind = nullptr;
  for (const LockKindName& k : kKinds)
    if (argc >= 3 && std::strcmp(argv[1], k.name) == 0) kind = &k;
  long hold_ms = -1;
  if (argc == 4) {
    const char* end = argv[3] + std::strlen(argv[3]);
    auto [at, error] = std::from_chars(argv[3], end, hold_ms);
    if (error != std::errc() || at != end || hold_ms < 0) kind = nullptr;
  }
  if (kind == nullptr || argc > 4) {
    std::fprintf(stderr, "usage: lock_holder exclusive|record|ofd|flock FILE [MS]\n");
    return 2;
  }
  OsFile file;
  if (!Hold(file, argv[2], kind->kind)) {
    int error = FileLastError();
    bool busy = FileErrorIsSharingConflict(error);
    std::printf("%s\n", busy ? "busy" : "failed");
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", argv[2], OsErrorText(error).c_str());
    return busy ? 1 : 2;
  }
  std::printf("held\n");
  std::fflush(stdout);
  if (hold_ms >= 0) {
    SleepMs(static_cast<uint32_t>(hold_ms));
  } else {
    while (std::getchar() != EOF) {
    }
  }
  FileClose(file);
  return 0;
}
