// String and file helpers used everywhere in the editor.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// ASCII upper case: a-z only, so CP437 letters and codes pass unchanged.
char UpperChar(char c);
std::string UpperStr(std::string_view text);
std::string RepeatChar(uint8_t count, char ch);
std::string PadLeft(std::string_view text, char ch, size_t length);
std::string PadRight(std::string_view text, char ch, size_t length);
std::string IntToStr(int64_t value);
std::string IntToStrCommas(int64_t value);
// The number at the start of the text (leading blanks, a sign, decimal digits or $ and hex digits);
// 0 when there is none. A number beyond 32 bits saturates at the 32-bit limit.
int32_t StrToIntLead(std::string_view text);
// Whether the whole text is one number in that syntax (for drop-file lines); value set when it is.
bool StrToIntWhole(std::string_view text, int32_t& value);
// That whole-text number, or fallback when the text is not one.
int32_t StrToIntOr(std::string_view text, int32_t fallback);
// Appends the platform's separator unless the path is empty or already ends in one.
std::string AddBackslash(std::string_view path);
bool FileExists(const std::string& name);
// 255: no such name; 0: deleted; 1: deletion failed.
uint8_t DeleteFileIfExists(const std::string& name);
// Appends text and CR LF to the file (creating it, or replacing it first when replace is set).
// Any file error ends the program through RunError.
void WriteTextLine(std::string_view text, const std::string& file_name, bool replace);
