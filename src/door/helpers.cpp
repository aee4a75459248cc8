// String and file helpers shared by the door library and the editor.
#include "door/helpers.h"

#include <limits>

#include "runtime/files.h"
#include "runtime/halt.h"

char UpperChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperStr(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

std::string RepeatChar(uint8_t count, char ch) { return std::string(count, ch); }

std::string PadLeft(std::string_view text, char ch, size_t length) {
  std::string out(text.size() < length ? length - text.size() : 0, ch);
  out += text;
  return out.substr(0, length);
}

std::string PadRight(std::string_view text, char ch, size_t length) {
  std::string out(text);
  if (out.size() < length) out.append(length - out.size(), ch);
  return out.substr(0, length);
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToStrCommas(int64_t value) {
  const std::string plain = IntToStr(value);
  const size_t first_digit = plain[0] == '-' ? 1 : 0;
  std::string out = plain.substr(0, first_digit);
  for (size_t i = first_digit; i < plain.size(); ++i) {
    out += plain[i];
    size_t digits_right = plain.size() - i - 1;
    if (digits_right > 0 && digits_right % 3 == 0) out += ',';
  }
  return out;
}

namespace {

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  return value < base ? value : -1;
}

struct LeadNumber {
  int32_t value = 0;
  size_t end = 0;       // just past the last character of the number
  bool found = false;   // at least one digit
  bool overflow = false;
};

// Leading blanks, an optional sign, then decimal digits or "$" and hex digits. A number beyond 32
// bits saturates rather than wrapping or losing digits: a field's upper clamp must then see a value
// above its maximum.
LeadNumber ParseLead(std::string_view text) {
  LeadNumber result;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                 : int64_t{std::numeric_limits<int32_t>::max()};
  int64_t magnitude = 0;
  for (int digit; i < text.size() && (digit = DigitValue(text[i], base)) >= 0; ++i) {
    result.found = true;
    result.end = i + 1;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) {
      magnitude = limit;
      result.overflow = true;
    }
  }
  result.value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return result;
}

}  // namespace

int32_t StrToIntLead(std::string_view text) {
  LeadNumber lead = ParseLead(text);
  return lead.found ? lead.value : 0;
}

bool StrToIntWhole(std::string_view text, int32_t& value) {
  LeadNumber lead = ParseLead(text);
  if (!lead.found || lead.overflow || lead.end != text.size()) return false;
  value = lead.value;
  return true;
}

int32_t StrToIntOr(std::string_view text, int32_t fallback) {
  int32_t value = 0;
  return StrToIntWhole(text, value) ? value : fallback;
}

std::string AddBackslash(std::string_view path) {
  std::string out(path);
  if (!out.empty() && !PathEndsInSeparator(out)) out += PathSeparator();
  return out;
}

bool FileExists(const std::string& name) { return !name.empty() && PathExists(name); }

uint8_t DeleteFileIfExists(const std::string& name) {
  if (!FileExists(name)) return 255;
  return FileRemove(name) ? 0 : 1;
}

void WriteTextLine(std::string_view text, const std::string& file_name, bool replace) {
  if (replace) DeleteFileIfExists(file_name);
  if (!FileExists(file_name) && !FileCreateEmpty(file_name)) RunError(file_name, FileLastError());
  OsFile file;
  if (!FileOpen(file, file_name, faReadWrite)) RunError(file_name, FileLastError());
  const int64_t end = FileLength(file);
  std::string line(text);
  line += "\r\n";
  if (end < 0 || !FileWriteAt(file, end, line.data(), line.size()))
    RunError(file_name, FileLastError());
  FileClose(file);
}
