#include "fakes/screen_text.h"

#include "runtime/console.h"

std::string StripAnsi(std::string_view bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
      i += 2;
      while (i < bytes.size() && !(bytes[i] >= '@' && bytes[i] <= '~')) ++i;
      continue;
    }
    text += bytes[i];
  }
  return text;
}

std::string ScreenRow(int row) {
  std::string text = ConsoleRowText(row);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

int FindScreenRow(std::string_view text) {
  for (int row = 1; row <= kConsoleRows; ++row)
    if (ConsoleRowText(row).find(text) != std::string::npos) return row;
  return 0;
}

size_t CountOf(std::string_view haystack, std::string_view needle) {
  size_t count = 0;
  for (size_t at = haystack.find(needle); at != std::string_view::npos;
       at = haystack.find(needle, at + needle.size()))
    ++count;
  return count;
}
