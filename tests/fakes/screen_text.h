// Reading what a test's editor run showed: the headless screen by rows, and the output stream with
// its ANSI sequences taken out.
#pragma once
#include <string>
#include <string_view>

// The bytes with every ESC [ ... sequence removed: the text as a caller would read it.
std::string StripAnsi(std::string_view bytes);
// A screen row (1-25) without its trailing blanks.
std::string ScreenRow(int row);
// The first screen row that contains text; 0 when none does.
int FindScreenRow(std::string_view text);
// How often needle occurs in haystack.
size_t CountOf(std::string_view haystack, std::string_view needle);
