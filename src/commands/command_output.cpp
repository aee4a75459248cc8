#include "commands/command_output.h"

#include <algorithm>
#include <cstdio>

#include "runtime/cp437.h"

namespace {

// One UTF-8 character at text[at]; false for a malformed one.
bool NextCodePoint(std::string_view text, size_t& at, uint32_t& code_point) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                  : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || at + length > text.size()) return false;
  code_point = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return false;
    code_point = code_point << 6 | (byte(at + i) & 0x3F);
  }
  at += length;
  return true;
}

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

std::string ShownText(std::string_view cp437) {
  std::string out;
  for (char c : cp437) AppendUtf8(out, Cp437ToUnicode(static_cast<uint8_t>(c)));
  return out;
}

std::string TerminalText(std::string_view utf8) {
  std::string out;
  for (size_t at = 0; at < utf8.size();) {
    const size_t from = at;
    uint32_t c = 0;
    bool read = NextCodePoint(utf8, at, c);
    if (read && c >= 0x20 && c != 0x7F && (c < 0x80 || c >= 0xA0)) {
      out.append(utf8.substr(from, at - from));
      continue;
    }
    if (!read) at = from + 1;
    for (size_t i = from; i < at; ++i) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<uint8_t>(utf8[i]));
      out += hex;
    }
  }
  return out;
}

std::string JsonText(std::string_view cp437) {
  std::string out;
  for (char c : cp437) {
    auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80)
      out += c;
    else
      AppendUtf8(out, Cp437ToUnicode(byte));
  }
  return out;
}

bool Cp437FromUtf8(std::string_view utf8, std::string& cp437) {
  cp437.clear();
  size_t at = 0;
  while (at < utf8.size()) {
    uint32_t code_point = 0;
    if (!NextCodePoint(utf8, at, code_point)) return false;
    int byte = code_point < 0x80 ? static_cast<int>(code_point) : Cp437FromUnicode(code_point);
    if (byte < 0) return false;
    cp437 += static_cast<char>(byte);
  }
  return true;
}

Json RecordJson(const PlayerRecord& record, int32_t n) {
  Json object = {{"number", n}};
  for (size_t i = 0; i < kRecordFieldCount; ++i) {
    const RecordField& field = kRecordFields[i];
    if (field.type == rfNumber)
      object[field.name] = ReadField(record, field.Ref());
    else
      object[field.name] = JsonText(RecordFieldValue(record, field));
  }
  return object;
}

void PrintJson(const Json& document) { PrintLine(document.dump(2)); }

void PrintColumns(const std::vector<std::vector<std::string>>& rows,
                  const std::vector<bool>& right_aligned) {
  // Each CP437 byte is one character on the screen, so a cell's width is its length.
  std::vector<size_t> widths(right_aligned.size(), 0);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
      widths[c] = std::max(widths[c], row[c].size());
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
      std::string pad(widths[c] - row[c].size(), ' ');
      bool last = c + 1 == row.size();
      if (c > 0) line += "  ";
      if (right_aligned[c]) line += pad;
      line += ShownText(row[c]);
      if (!right_aligned[c] && !last) line += pad;
    }
    PrintLine(line);
  }
}

void PrintCsvRow(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t c = 0; c < cells.size(); ++c) {
    std::string cell = ShownText(cells[c]);
    if (c > 0) line += ',';
    if (cell.find_first_of(",\"\r\n") == std::string::npos) {
      line += cell;
      continue;
    }
    line += '"';
    for (char ch : cell) line += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    line += '"';
  }
  PrintLine(line);
}
