// PLACEHOLDER (to be replaced): headless only.
#include "runtime/console.h"

void ConsoleOpen() {}
ConsoleMode ConsoleCurrentMode() { return cmHeadless; }
bool ConsoleIsHeadless() { return true; }
void ConsolePresent() {}
void ConsoleClose() {}
