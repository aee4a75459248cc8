// zorvan32-serve: the program `zorvan32 serve` becomes, the command words with the web console in.
#include "commands/commands.h"
#include "runtime/signals.h"
#include "web/serve.h"

int main(int argc, char** argv) {
  FileSizeSignalIgnore();
  SetServeWord(RunServe);
  return RunCommandWord(argc, argv);
}
