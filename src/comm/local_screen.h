// The sysop's screen: the ANSI stream that goes to the caller, performed on the local console model.
#pragma once
#include <cstdint>
#include <string_view>

// Renders the text on the console; the parser state carries over between calls, so a sequence may be
// split across two writes. Plain characters go to the console in runs.
void LocalWriteAnsi(std::string_view text);
// Performs one complete sequence with the parameters collected so far.
void AnsiExecute(char final);
// Text into the screen buffer at column, row (1-based), every character in attribute; the cursor and
// the current attribute do not change.
void ConsoleWriteAt(std::string_view text, uint8_t column, uint8_t row, uint8_t attribute);
// Parser state back to its start values (program start, tests).
void LocalScreenReset();
