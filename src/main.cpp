#include "commands/commands.h"
#include "editor/startup.h"

int main(int argc, char** argv) {
  if (argc > 1 && IsCommandWord(argv[1])) return RunCommandWord(argc, argv);
  return ZorvanMain(argc, argv);
}
