#include "editor/prompts.h"

#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"

bool YesNo() {
  for (;;) {
    char key = DoorReadKey();
    // An extended key's scan code can look like a letter (PgDn is 'Q'); it is never an answer.
    if (DoorLastKeyExtended()) continue;
    if (key == 'y' || key == 'Y') return true;
    if (key == 'n' || key == 'N' || key == kKeyEnter) return false;
  }
}

void BlankLine() { DoorWriteLn(" "); }

void ShowCredits() {
  DoorPrintLn(" ");
  DoorPrintLn("  `0Zorvan/32 Credits:  `%Written by the Zorvan/32 developers.");
  DoorPrintLn("  `%A sysop's player editor for Varn, with its own door I/O library.");
  DoorPrintLn("  `%Design, code and tests by the Zorvan/32 developers.");
  DoorPrintLn(std::string("  ** Compile Date:  ") + compile_date_text + " ** December 2005 Beta.");
  DoorWriteLn(" ");
  DoorPrintLn("  `0Credits #2:  ** For VARN/32 use only. ** ");
  DoorPrintLn("  `%Zorvan/32 is owned by the Zorvan/32 developers.  All rights reserved.");
  DoorPrintLn(" ");
}
