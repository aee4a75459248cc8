#include "commands/commands.h"
#include "door/startup.h"
#include "editor/startup.h"
#include "runtime/signals.h"

int main(int argc, char** argv) {
  FileSizeSignalIgnore();
  if (CommandWordAt(argc, argv) > 0) return RunCommandWord(argc, argv);
  DoorSetUsageNote(CommandWordsLine());
  DoorSetLog("ZORVAN32.ERR");  // beside ZORVAN32.CFG and the journal
  return ZorvanMain(argc, argv);
}
