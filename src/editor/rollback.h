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
// Here the file alone: its notes and their reading back. The operation puts back what they name.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

// What a crashed operation's lines name: an item's bytes before the operation (nullopt: no file)
// and what each of its writes left.
using RollbackBytes = std::optional<std::string>;
struct RollbackItem {
  RollbackBytes before;
  std::vector<RollbackBytes> afters;
  void Add(const RollbackBytes& was, const RollbackBytes& wrote);
  bool Wrote(const RollbackBytes& now) const;
};
struct RollbackAppend {
  std::string name;
  bool made = false;  // the append made the file
  int64_t start = 0;
  std::string replaced, appended;
};
struct UnfinishedOperation {
  std::string operation;
  std::map<int32_t, RollbackItem> records;
  std::map<std::string, RollbackItem> files;
  std::vector<RollbackAppend> appends;
};
// True when an operation a crash cut short left lines; from then on nothing is noted until
// RollbackRecoveryEnds: its lines stay until the put-back commits, for the next start to try again.
bool RollbackRecoveryStarts();
void RollbackRecoveryEnds();
// Its whole lines, read under the hold (another program's operation may have ended meanwhile); a
// damaged line is passed over.
bool ReadUnfinished(UnfinishedOperation& what);
