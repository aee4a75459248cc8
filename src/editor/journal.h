// ZORVAN32.LOG, beside ZORVAN32.CFG: every change the program writes to a game file, one line per
// changed field, so a sysop can read who changed what and when. Lines are tab-separated:
//   time  node  who  operation-number  operation  player  name  field  old  new
// time is local "YYYY-MM-DD HH:MM:SS.mmm"; node is the door's node or "local"; who the caller's
// name, "caller" for one without a name, or "sysop"; player is a record number or "-"; text is UTF-8, with tabs, control characters
// and backslashes written as \xNN. Besides the field lines, a written record has a "record" line
// with its 236 bytes before and after in hex, and a marriage file a "MARRAGE.DAT-bytes" line with
// its bytes ("none": no file), so that undo can put them back exactly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct JournalEntry {
  int32_t player;  // -1: none
  std::string name, field, old_value, new_value;  // CP437, as the game stores them
};

// Where the journal belongs: ZORVAN32.LOG in the directory of ZORVAN32.CFG (the working one).
std::string JournalPath();
// One operation's lines, appended to journal_path (nothing while it is empty), numbered one past
// the journal's last numbered line however much damage follows it, in one write while the
// journal's writers' lock is held; after a torn line, on a line of their own. Whole or not at all:
// false, with FileLastError() and the journal as it was, when it could not be written.
bool JournalAppend(const char* operation, const std::vector<JournalEntry>& entries);
// One line as read back; the texts are as the journal has them (UTF-8, \xNN).
struct JournalLine {
  std::string time, node, who;
  int64_t op = 0;
  std::string operation, player, name, field, old_value, new_value;
};
// A line's tab-separated columns, as the journal and the rollback file write them.
std::vector<std::string> JournalColumns(std::string_view line);
// Longer lines are no journal's (the longest, a marriage file's bytes, is under 17 KB).
constexpr size_t kJournalLineMax = 64 * 1024;
// The journal's lines newest first, each handed to visit until it returns false; a line that is not
// a whole journal line (torn, over-long, damaged) is passed over. Read backwards in pieces, in the
// same memory however long the journal. A missing journal has no lines; false when it is there but
// cannot be read.
bool VisitJournal(const std::string& path, const std::function<bool(const JournalLine&)>& visit);

// CP437 text as the journal writes it.
std::string JournalText(const std::string& cp437);
// Bytes that must come back exactly (a whole record, a marriage file) as two hex digits each, and
// back again; false for text that is not such hex.
std::string JournalHex(std::string_view bytes);
bool JournalUnhex(std::string_view hex, std::string& bytes);
