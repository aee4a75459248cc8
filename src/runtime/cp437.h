// The PC character set (code page 437) as Unicode, for terminals that speak UTF-8.
#pragma once
#include <cstdint>
#include <string>

// The character a CP437 byte shows on a PC screen. Control bytes 0x01-0x1F and 0x7F are the PC's
// glyphs (smileys, arrows, the house); 0x00 shows as a blank.
uint16_t Cp437ToUnicode(uint8_t byte);

// The CP437 byte of a character from the upper half of the set (0x80-0xFF), or -1 when CP437 has
// no such character there. The lower half is ASCII and the PC's control glyphs, never typed.
int Cp437FromUnicode(uint32_t code_point);

// The UTF-8 bytes of a code point from the Basic Multilingual Plane.
void AppendUtf8(std::string& out, uint16_t code_point);
