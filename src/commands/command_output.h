// What the commands print: the game's CP437 text as UTF-8, a record as JSON, aligned columns, CSV.
// Nothing here writes a screen code: a control byte in a name comes out as the PC's glyph for it in
// lines, and as that character, escaped, in JSON.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "editor/player_record.h"

using Json = nlohmann::ordered_json;

// CP437 text as it looks on a PC screen, in UTF-8 (control bytes as their glyphs).
std::string ShownText(std::string_view cp437);
// CP437 text as the characters it holds, for JSON: the lower half as itself, the upper half through
// the code page.
std::string JsonText(std::string_view cp437);
// UTF-8 text from elsewhere (the journal) safe for a terminal: a control character, C1 included,
// and a byte that is not UTF-8 as \xNN.
std::string TerminalText(std::string_view utf8);
// UTF-8 into CP437; false when the text is not UTF-8 or holds a character CP437 does not have.
bool Cp437FromUtf8(std::string_view utf8, std::string& cp437);

// Every field of kRecordFields by its name, numbers as numbers, texts as strings, after "number".
Json RecordJson(const PlayerRecord& record, int32_t n);
// The document on stdout, two-space indented, UTF-8.
void PrintJson(const Json& document);

// Rows of cells (CP437) printed in columns two blanks apart, each as wide as its widest cell;
// right_aligned marks the columns of numbers. The last column is not padded.
void PrintColumns(const std::vector<std::vector<std::string>>& rows,
                  const std::vector<bool>& right_aligned);
// One CSV row (RFC 4180 quoting), cells in CP437.
void PrintCsvRow(const std::vector<std::string>& cells);

// The JSON the words print, which the web console serves too.
struct GameView;
struct JournalLine;
Json ListJson(const GameView& view, int32_t n);  // list.cpp: list's object for player n
Json CheckJson(const GameView& view);            // check.cpp: check's document
Json LogJson(const JournalLine& line);           // log.cpp: one line of log --json
// log's lines for its arguments, newest operation first: its exit code, with the cause on stderr.
int LogLines(const std::vector<std::string>& args, std::vector<JournalLine>& lines);  // log.cpp
