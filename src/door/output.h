// Text output: every character shown goes through here, to the caller's channel first and then to
// the local screen, with the backtick, tilde and pipe colour codes turned into ANSI sequences.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/pc_colours.h"  // AnsiColour

// When true, the tilde-code printers and StripCodes first rewrite backtick codes as ~C codes.
extern bool BacktickTranslation;

constexpr size_t kShortStringMax = 255;

void DoorWrite(std::string_view text);
// What DoorWrite has gathered for the caller goes to the channel, and the local screen is shown.
// Runs at every key wait, before the early ends' pause and at exit; a full gathering flushes itself.
void DoorFlushOutput();
void DoorWriteLn(std::string_view text);
void DoorNewLine();
void DoorSkipLines(uint8_t count);
// The colour-code printers, StripCodes, TranslateBackticks and CentredColumn are defined in
// colour_codes.cpp; the rest of this header in output.cpp.
void DoorPrintColour(std::string_view text);
void DoorPrintLn(std::string_view text);
void DoorPrintColourLn(std::string_view text);
void DoorPrintCodedLn(std::string_view text);
void DoorPrintAt(uint8_t column, uint8_t row, std::string_view text);
void DoorPrintCentred(std::string_view text);
void DoorPrintCentredLn(std::string_view text);
void DoorGotoXY(uint8_t column, uint8_t row);
void DoorClearScreen();
void DoorClearEol();
void DoorGotoColumn(uint8_t column);
void DoorSetForeground(uint8_t colour);
void DoorSetBackground(uint8_t colour);
void DoorSetAttr(uint8_t attribute);
std::string StripCodes(std::string_view text);

// The backtick-to-tilde rewrite on its own.
std::string TranslateBackticks(std::string_view text);
// The column at which a centred text starts on the current row.
uint8_t CentredColumn(std::string_view text);

// Output defaults (program start, DoorLibraryReset): BacktickTranslation off, no tap, nothing
// gathered.
void DoorOutputReset();

// Tests: every block handed to the channel and the local screen is also given to the tap.
using DoorOutputTapFn = void (*)(std::string_view bytes);
void DoorSetOutputTap(DoorOutputTapFn tap);
