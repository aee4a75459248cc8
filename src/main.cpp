#include "commands/commands.h"
#include "editor/startup.h"
#include "runtime/signals.h"

int main(int argc, char** argv) {
  FileSizeSignalIgnore();
  if (argc > 1 && IsCommandWord(argv[1])) return RunCommandWord(argc, argv);
  return ZorvanMain(argc, argv);
}
