// zorvan32 undo: an operation of the journal put back field by field, under the same hold of
// PLAYER.DAT as any save. A field is restored only while it still holds what that operation wrote;
// the undo is journaled itself ("undo-17"), so undoing it redoes.
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "door/helpers.h"
#include "editor/editor_state.h"
#include "editor/journal.h"
#include "editor/npc_marriage.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "runtime/files.h"

namespace {

const std::string kUndoPrefix = "undo-";
const char* const kBytesSuffix = "-bytes";

struct Operation {
  int64_t number = 0;
  std::vector<JournalLine> lines;
};

std::vector<Operation> Operations(const std::vector<JournalLine>& lines) {
  std::vector<Operation> ops;
  for (const JournalLine& line : lines) {
    if (ops.empty() || ops.back().number != line.op) ops.push_back({line.op, {}});
    ops.back().lines.push_back(line);
  }
  return ops;
}

int64_t UndoneTarget(const Operation& op) {
  const std::string& name = op.lines.front().operation;
  int32_t target = 0;
  if (name.rfind(kUndoPrefix, 0) != 0 || !StrToIntWhole(name.substr(kUndoPrefix.size()), target))
    return 0;
  return target;
}

// Operations undone by an undo that is not itself undone: walked from the newest.
std::set<int64_t> UndoneOperations(const std::vector<Operation>& ops) {
  std::set<int64_t> undone;
  for (auto it = ops.rbegin(); it != ops.rend(); ++it)
    if (!undone.count(it->number) && UndoneTarget(*it) > 0) undone.insert(UndoneTarget(*it));
  return undone;
}

// The operation asked for by number, or with 0 the newest that is neither undone nor an undo.
const Operation* ChooseTarget(const std::vector<Operation>& ops, int32_t wanted) {
  std::set<int64_t> undone = UndoneOperations(ops);
  for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
    if (undone.count(it->number)) continue;
    // A rollback put back half an operation: undoing it would redo that half.
    bool plain = UndoneTarget(*it) == 0 && it->lines.front().operation != "rollback";
    if (wanted > 0 ? it->number == wanted : plain) return &*it;
  }
  return nullptr;
}

struct Outcome {
  int restored = 0, left = 0;
};

std::string Who(const JournalLine& line) {
  return "player " + line.player + " " + line.name + " " + line.field;
}

// A record back to its bytes before the operation in every field that still holds what the
// operation wrote.
bool UndoRecord(GameOperation& op, const std::vector<const JournalLine*>& fields,
                const JournalLine& record_line, Outcome& outcome) {
  std::string before, after;
  int32_t n = 0;
  if (!JournalUnhex(record_line.old_value, before) || !JournalUnhex(record_line.new_value, after) ||
      before.size() != kPlayerRecordSize || after.size() != kPlayerRecordSize ||
      !StrToIntWhole(record_line.player, n)) {
    std::printf("  player %s: the journal's record line is damaged, left as it is\n",
                record_line.player.c_str());
    outcome.left += static_cast<int>(fields.size());
    return true;
  }
  PlayerRecord now, was, wrote;
  std::memcpy(&was, before.data(), sizeof was);
  std::memcpy(&wrote, after.data(), sizeof wrote);
  FileResult read = op.Read(n, now);
  if (read != frDone) {
    std::printf("  player %d: %s, left as it is\n", n, FileProblemText(read).c_str());
    outcome.left += static_cast<int>(fields.size());
    return read == frOutside;
  }
  int restored = 0;
  for (const JournalLine* line : fields) {
    const RecordField* field = FindRecordField(line->field);
    if (field == nullptr) continue;
    if (RecordFieldDiffers(now, wrote, *field)) {
      std::printf("  %s: changed since (now %s), left as it is\n", Who(*line).c_str(),
                  JournalText(RecordFieldValue(now, *field)).c_str());
      ++outcome.left;
      continue;
    }
    CopyRecordField(now, was, *field);
    std::printf("  %s: %s -> %s\n", Who(*line).c_str(), line->new_value.c_str(),
                line->old_value.c_str());
    ++restored;
  }
  outcome.restored += restored;
  return restored == 0 || op.Write(n, now) == frDone;
}

// A character's file as it is now: its bytes, or "none".
bool CharacterFileNow(int character, std::string& hex) {
  std::string bytes;
  FileResult read = ReadGameLineFile(GamePath(NpcFileName(character)), bytes);
  hex = read == frDone ? JournalHex(bytes) : "none";
  return read == frDone || read == frMissing;
}

bool UndoCharacterFile(GameOperation& op, const JournalLine& line, Outcome& outcome) {
  std::string file = line.field.substr(0, line.field.size() - std::strlen(kBytesSuffix));
  int character = file == NpcFileName(npcDask) ? npcDask : npcQuenna;
  std::string now;
  if (!CharacterFileNow(character, now)) {
    std::printf("  %s: cannot be read, left as it is\n", file.c_str());
    ++outcome.left;
    return false;
  }
  if (now != line.new_value) {
    std::printf("  %s: changed since, left as it is\n", file.c_str());
    ++outcome.left;
    return true;
  }
  std::string bytes;
  bool none = line.old_value == "none";
  if (!none && !JournalUnhex(line.old_value, bytes)) return false;
  if (!op.WriteCharacterFileBytes(character, none ? nullptr : &bytes)) return false;
  std::printf("  %s: put back as it was%s\n", file.c_str(), none ? " (no file)" : "");
  ++outcome.restored;
  return true;
}

bool EndsWith(const std::string& text, const char* tail) {
  size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// Every record and character file of the operation put back where it still holds what the
// operation wrote; false when a file could not be written.
bool UndoLines(GameOperation& op, const Operation& target, Outcome& outcome) {
  std::map<std::string, std::vector<const JournalLine*>> fields;
  std::vector<std::string> notices;
  bool sound = true;
  for (const JournalLine& line : target.lines)
    if (line.field != "record" && FindRecordField(line.field) != nullptr)
      fields[line.player].push_back(&line);
  for (const JournalLine& line : target.lines) {
    if (line.field == "record") sound = UndoRecord(op, fields[line.player], line, outcome) && sound;
    if (EndsWith(line.field, kBytesSuffix)) sound = UndoCharacterFile(op, line, outcome) && sound;
    if (line.field == "notice") notices.push_back(line.old_value);
  }
  if (!notices.empty()) {
    std::printf("  notices already sent stay sent:");
    for (const std::string& file : notices) std::printf(" %s", file.c_str());
    std::printf("\n");
  }
  return sound;
}

int Undo(const Operation& target) {
  const JournalLine& head = target.lines.front();
  std::printf("undo of operation %lld (%s by %s, %s, %s):\n", static_cast<long long>(target.number),
              head.operation.c_str(), head.who.c_str(), head.node.c_str(), head.time.c_str());
  GameOperation op(okUndo);
  op.SetName(kUndoPrefix + std::to_string(target.number));
  FileResult held = op.Begin();
  if (held != frDone) {
    CommandError(FileProblemText(held) + " Nothing was undone.");
    return 2;
  }
  Outcome outcome;
  if (!UndoLines(op, target, outcome)) {
    CommandError("a file could not be written: nothing was undone");
    return 2;
  }
  if (outcome.restored == 0) {
    std::printf("nothing restorable\n");
    return 1;
  }
  if (op.Commit() != frDone) {
    CommandError(op.FailedFile() + " could not be written: nothing was undone");
    return 2;
  }
  std::printf("%d restored, %d left as they are\n", outcome.restored, outcome.left);
  return 0;
}

}  // namespace

int RunUndo(const CommandArgs& args) {
  int32_t wanted = 0;
  if (args.size() > 1 || (args.size() == 1 && (!StrToIntWhole(args[0], wanted) || wanted < 1))) {
    CommandError("usage: zorvan32 undo [OPERATION]");
    return 2;
  }
  if (!CommandLoadGame()) return 2;
  std::vector<JournalLine> lines;
  if (!ReadJournal(journal_path, lines)) {
    CommandError(journal_path + " cannot be read");
    return 2;
  }
  std::vector<Operation> ops = Operations(lines);
  const Operation* target = ChooseTarget(ops, wanted);
  if (target == nullptr) {
    std::printf("nothing to undo\n");
    return 1;
  }
  return Undo(*target);
}
