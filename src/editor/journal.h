// ZORVAN32.LOG, beside ZORVAN32.CFG: every change the program writes to a game file, one line per
// changed field, so a sysop can read who changed what and when. Lines are tab-separated:
//   time  node  who  operation-number  operation  player  name  field  old  new
// time is local "YYYY-MM-DD HH:MM:SS.mmm"; node is the door's node or "local"; who the caller's
// name or "sysop"; player is a record number or "-"; text is UTF-8, with tabs, control characters
// and backslashes written as \xNN.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct JournalEntry {
  int32_t player;  // -1: none
  std::string name, field, old_value, new_value;  // CP437, as the game stores them
};

// Where the journal belongs: ZORVAN32.LOG in the directory of ZORVAN32.CFG (the working one).
std::string JournalPath();
// One operation's lines, appended to journal_path (nothing while it is empty), numbered one past the journal's last operation, in one write while the
// journal's writers' lock is held. False when the journal could not be written.
bool JournalAppend(const char* operation, const std::vector<JournalEntry>& entries);
// CP437 text as the journal writes it.
std::string JournalText(const std::string& cp437);
