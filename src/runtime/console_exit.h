// The presenters' exit step: shows the last frame and gives the screen back when the program ends.
#pragma once

// Puts the step into the exit chain unless it is there already. When it runs it first runs the
// steps that were installed before it (the door library's DoorExit still writes to the screen),
// then calls ConsoleClose.
void ConsoleInstallExitStep();
