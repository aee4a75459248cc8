// PLACEHOLDER (to be replaced): plain text only, sequences dropped.
#include "comm/local_screen.h"

#include "runtime/console.h"

void LocalWriteAnsi(std::string_view text) { ConsoleWrite(text); }
void AnsiExecute(char) {}
void ConsoleWriteAt(std::string_view text, uint8_t column, uint8_t row, uint8_t attribute) {
  ConsolePutCells(column, row, text, attribute);
}
void LocalScreenReset() {}
