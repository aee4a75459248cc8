// ZORVAN32.RBK beside the journal: what an operation's writes are about to replace, so that an
// operation cut short by a crash (a kill, a power cut of the program's machine) is put back by the
// next program to hold PLAYER.DAT. Each line is written before the item it names, one tab-separated
// line per write:
//   operation  NAME
//   record     N     HEX-BEFORE        HEX-AFTER
//   file       NAME  HEX-BEFORE|none   HEX-AFTER|none
//   append     NAME  OFFSET|new        HEX-REPLACED   HEX-APPENDED
// A last line without its line end was torn by the crash: its item was not yet written. The file is
// emptied when the operation ends, after its journal entry, while PLAYER.DAT is still held.
#pragma once
#include <cstdint>
#include <string>

#include "editor/player_record.h"

// Beside journal_path; empty with no journal (then nothing is kept).
std::string RollbackPath();
// The operation that holds PLAYER.DAT now; its first note makes the file.
void RollbackStart(const std::string& operation);
// Notes made before the item is written; false when the file cannot be written, and then the item
// must not be.
bool RollbackNoteRecord(int32_t n, const PlayerRecord& before, const PlayerRecord& after);
// A character's file: its bytes now (read here) and after (nullptr: deleted).
bool RollbackNoteFile(const std::string& path, bool exists, const std::string* after);
// A notice appended at start, over the replaced end-of-file mark; made: the append makes the file.
bool RollbackNoteAppend(const std::string& path, bool made, int64_t start,
                        const std::string& replaced, const std::string& appended);
// The operation is over, committed or put back: the file is emptied. A rollback of a crashed
// operation empties it only once committed.
void RollbackEnd(bool committed);
// An operation a crash cut short, put back as an operation of its own ("rollback", journaled as
// any other) where its items still hold what it wrote, and said through rollback_report. Nothing
// when there is none or PLAYER.DAT cannot be held (the next hold tries again).
void RollBackUnfinished();
// How it is said: the editor's notice under the main screen, unless a command word sets its own.
extern void (*rollback_report)(const std::string& text);
