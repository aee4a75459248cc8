// zorvan32 undo: an operation of the journal put back field by field, under the same hold of
// PLAYER.DAT as any save. The operation's lines are checked first (words agree with bytes, values
// pass set's rules, a marriage's both sides); a record is put back only while it is the same player,
// a field only while it holds what that operation wrote, a marriage only as a pair. The undo is
// journaled itself ("undo-17"), so undoing it redoes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "commands/command_output.h"
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

// One operation as the journal holds it: its number and its lines.
struct JournaledOperation {
  int64_t number = 0;
  std::vector<JournalLine> lines;
};

int64_t UndoneTarget(const JournaledOperation& op) {
  const std::string& name = op.lines.front().operation;
  int32_t target = 0;
  if (name.rfind(kUndoPrefix, 0) != 0 || !StrToIntWhole(name.substr(kUndoPrefix.size()), target))
    return 0;
  return target;
}

// The operation asked for by number, or with 0 the newest that is neither undone nor an undo,
// looked for from the newest with one operation in memory at a time. The search for N ends at the
// first smaller number: before it lies a series an older version numbered afresh after a damaged
// tail, where N would name another operation.
class TargetSearch {
 public:
  explicit TargetSearch(int32_t wanted) : wanted_(wanted) {}
  // false once the search is over
  bool Line(const JournalLine& line) {
    if (!op_.lines.empty() && line.op != op_.number && !Next()) return false;
    op_.number = line.op;
    op_.lines.push_back(line);
    return true;
  }
  // Whether the operation asked for by number is in the journal (undone or not).
  bool WantedSeen() const { return seen_; }
  // Once the journal is read: the operation found, or nullptr.
  const JournaledOperation* Found() {
    if (!ended_ && !op_.lines.empty()) Next();
    return found_.lines.empty() ? nullptr : &found_;
  }
  // The kind of operation its lines are of: an undo's is that of the operation it undid (an undo
  // of an undo redoes it).
  const std::string& Kind() const { return kind_; }

 private:
  // The operation gathered is whole: false once the search is over.
  bool Next() {
    std::reverse(op_.lines.begin(), op_.lines.end());  // gathered newest first
    ended_ = !(found_.lines.empty() ? Consider() : Follow());
    op_.lines.clear();
    return !ended_;
  }
  // Whether the search goes on past op_.
  bool Consider() {
    int64_t target = UndoneTarget(op_);
    seen_ = seen_ || op_.number == wanted_;
    if (undone_.count(op_.number) == 0) {
      if (target > 0) undone_.insert(target);  // an undo not itself undone
      // A rollback put back half an operation: undoing it would redo that half.
      bool plain = target == 0 && op_.lines.front().operation != "rollback";
      if (wanted_ > 0 ? op_.number == wanted_ : plain) {
        found_ = op_;
        return Chain();
      }
    }
    return op_.number > wanted_;
  }
  // The found undo's chain of undone operations followed back to the first.
  bool Follow() { return op_.number == follow_ ? Chain() : op_.number > follow_; }
  bool Chain() {
    kind_ = op_.lines.front().operation;
    int64_t undone = UndoneTarget(op_);
    follow_ = undone < op_.number ? undone : 0;
    return follow_ > 0;
  }

  int32_t wanted_;
  int64_t follow_ = 0;
  std::set<int64_t> undone_;
  JournaledOperation op_, found_;
  std::string kind_;
  bool ended_ = false;
  bool seen_ = false;
};

bool EndsWith(const std::string& text, const char* tail) {
  size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// Every line undo prints comes from the journal, which a forger may have written.
void Say(const std::string& text) { CommandSay(TerminalText(text)); }

// Only these operations' undo writes married_to or a character's marriage file.
const char* const kMarriageKinds[] = {"marriage", "divorce", "double-marriage-repair"};
// The editor's mends take numbers outside the editors' ranges in hand; their undo puts such a
// number back where the operation put it right.
const char* const kMendingKinds[] = {"repair", "new-day", "clean-slate"};

template <size_t N>
bool Among(const char* const (&kinds)[N], const std::string& kind) {
  return std::find(std::begin(kinds), std::end(kinds), kind) != std::end(kinds);
}

// A record of the operation: its bytes before, after and now, and its field lines.
struct RecordUndo {
  int32_t n = 0;
  std::string name;  // the journal's name column
  PlayerRecord was{}, wrote{}, now{};
  std::vector<const JournalLine*> fields;
  bool married = false;  // married_to among them
};
// A character's marriage file: its bytes before and after (hex or "none").
struct FileUndo {
  int character = npcNone;
  std::string before, after;
  int32_t named[2] = {-1, -1};  // the players its line names before and after
};
// What the operation wrote, checked against itself. Records and files that a marriage links share
// a group (numbered records first, then files): put back together or not at all.
struct Plan {
  std::string kind;
  std::vector<RecordUndo> records;
  std::vector<FileUndo> files;
  std::vector<size_t> group;
  std::vector<std::string> notices;
};

std::string Refusal(const JournalLine& line, const std::string& why) {
  return "player " + line.player + " " + line.field + ": " + why;
}

RecordUndo* RecordOf(Plan& plan, int32_t n) {
  for (RecordUndo& r : plan.records)
    if (r.n == n) return &r;
  return nullptr;
}

std::string ReadRecordLine(const JournalLine& line, Plan& plan) {
  std::string before, after;
  RecordUndo r;
  if (!StrToIntWhole(line.player, r.n) || r.n < 0 || RecordOf(plan, r.n) != nullptr ||
      !JournalUnhex(line.old_value, before) || !JournalUnhex(line.new_value, after) ||
      !RecordFromBytes(before, r.was) || !RecordFromBytes(after, r.wrote))
    return Refusal(line, "the record's bytes are damaged");
  r.name = line.name;
  plan.records.push_back(r);
  return "";
}

// The columns in words say what the bytes hold, and what undo would write passes set's rules.
std::string CheckFieldLine(const JournalLine& line, const RecordField& field, Plan& plan) {
  int32_t n = -1;
  RecordUndo* r = StrToIntWhole(line.player, n) ? RecordOf(plan, n) : nullptr;
  if (r == nullptr) return Refusal(line, "no record line holds its bytes");
  if (line.old_value != JournalText(RecordFieldValue(r->was, field)) ||
      line.new_value != JournalText(RecordFieldValue(r->wrote, field)))
    return Refusal(line, "the text columns disagree with the record's bytes");
  r->fields.push_back(&line);
  if (&field == FindRecordField("married_to")) {
    r->married = true;
    return Among(kMarriageKinds, plan.kind) ? "" : Refusal(line, "not from a marriage or divorce");
  }
  std::string why = SetRefusesValue(field, r->was);
  bool mended = field.type == rfNumber && Among(kMendingKinds, plan.kind) &&
                SetRefusesValue(field, r->wrote).empty();
  return why.empty() || mended ? "" : Refusal(line, why);
}

// A character file's bytes as the journal words them (its first line, or "none"), and the player
// that line names.
std::string FileWords(const std::string& hex, int32_t& named) {
  std::string bytes;
  if (hex == "none" || !JournalUnhex(hex, bytes)) return hex;
  std::string line = bytes.substr(0, bytes.find_first_of("\r\n"));
  if (!StrToIntWhole(line, named)) named = -1;
  return JournalText(line);
}

// A line of the game's text that names the character's spouse, its words agreeing with its bytes.
std::string CheckFileLine(const JournalLine& line, const JournaledOperation& target, Plan& plan) {
  const std::string file = line.field.substr(0, line.field.size() - std::strlen(kBytesSuffix));
  FileUndo f{npcNone, line.old_value, line.new_value};
  for (int character : {npcQuenna, npcDask})
    if (file == NpcFileName(character)) f.character = character;
  std::string bytes;
  bool sound = f.character != npcNone && Among(kMarriageKinds, plan.kind) &&
               (f.after == "none" || JournalUnhex(f.after, bytes)) &&
               (f.before == "none" || JournalUnhex(f.before, bytes));
  for (char c : f.before == "none" ? std::string() : bytes)
    if ((static_cast<uint8_t>(c) < 0x20 && c != '\r' && c != '\n') || c == 0x7F) sound = false;
  auto words = std::find_if(target.lines.begin(), target.lines.end(),
                            [&](const JournalLine& l) { return l.field == file; });
  if (!sound || words == target.lines.end() ||
      words->old_value != FileWords(f.before, f.named[0]) ||
      words->new_value != FileWords(f.after, f.named[1]))
    return line.field + ": damaged, or not from a marriage or divorce";
  plan.files.push_back(f);
  return "";
}

void Join(Plan& plan, size_t a, size_t b) {
  size_t from = plan.group[b];
  for (size_t& g : plan.group)
    if (g == from) g = plan.group[a];
}

size_t UnitOf(Plan& plan, const RecordUndo* r) { return static_cast<size_t>(r - plan.records.data()); }

// Records and files joined by a marriage: each spouse married_to gains or loses is in the
// operation, married_to the other way round; a file joins the players it names.
std::string LinkPairs(Plan& plan) {
  plan.group.resize(plan.records.size() + plan.files.size());
  for (size_t u = 0; u < plan.group.size(); ++u) plan.group[u] = u;
  for (RecordUndo& r : plan.records) {
    for (bool before : {true, false}) {
      int32_t spouse = before ? r.was.married_to : r.wrote.married_to;
      if (!r.married || spouse == -1) continue;
      RecordUndo* other = RecordOf(plan, spouse);
      if (other == nullptr || !other->married ||
          (before ? other->was.married_to : other->wrote.married_to) != r.n)
        return "player " + std::to_string(r.n) + " married_to: not a whole pair";
      Join(plan, UnitOf(plan, &r), UnitOf(plan, other));
    }
  }
  for (size_t j = 0; j < plan.files.size(); ++j)
    for (int32_t named : plan.files[j].named)
      if (RecordUndo* r = RecordOf(plan, named)) Join(plan, plan.records.size() + j, UnitOf(plan, r));
  return "";
}

// The operation's lines checked before anything is written: the first fault found, or "".
std::string ReadPlan(const JournaledOperation& target, Plan& plan) {
  std::string why;
  for (const JournalLine& line : target.lines)
    if (why.empty() && line.field == "record") why = ReadRecordLine(line, plan);
  for (const JournalLine& line : target.lines) {
    const RecordField* field = FindRecordField(line.field);
    bool words = line.field == NpcFileName(npcQuenna) || line.field == NpcFileName(npcDask);
    if (!why.empty() || line.field == "record" || words) continue;
    if (line.field == "notice")
      plan.notices.push_back(line.old_value);
    else if (field != nullptr)
      why = CheckFieldLine(line, *field, plan);
    else if (EndsWith(line.field, kBytesSuffix))
      why = CheckFileLine(line, target, plan);
    else
      why = Refusal(line, "no such field");
  }
  return why.empty() ? LinkPairs(plan) : why;
}

struct Outcome {
  int restored = 0, left = 0;
  bool sound = true;  // every file could be read and written
};

bool SameText(const PlayerRecord& a, const PlayerRecord& b, const char* field) {
  const RecordField& f = *FindRecordField(field);
  return RecordFieldValue(a, f) == RecordFieldValue(b, f);
}

// The record as it is now, when undo may put it back: still the player the operation wrote (name
// and real name), with its marriage as the operation left it.
bool RecordStands(GameOperation& op, RecordUndo& r, Outcome& outcome) {
  FileResult read = op.Read(r.n, r.now);
  std::string why;
  if (read != frDone) {
    why = FileProblemText(read);
    outcome.sound = outcome.sound && read == frOutside;
  } else if (!SameText(r.now, r.wrote, "name") || !SameText(r.now, r.wrote, "real_name")) {
    why = "now " + JournalText(r.now.name.Get()) + " (" + JournalText(r.now.real_name.Get()) +
          "), another player";
  } else if (r.married && r.now.married_to != r.wrote.married_to) {
    why = "married_to changed since (now " + std::to_string(r.now.married_to) + ")";
  }
  if (why.empty()) return true;
  Say("  player " + std::to_string(r.n) + " " + r.name + ": " + why + ", left whole");
  outcome.left += static_cast<int>(r.fields.size());
  return false;
}

// The record back to its bytes before the operation in every field that still holds what the
// operation wrote.
void UndoRecord(GameOperation& op, RecordUndo& r, Outcome& outcome) {
  int restored = 0;
  for (const JournalLine* line : r.fields) {
    const RecordField& field = *FindRecordField(line->field);
    const std::string who = "  player " + std::to_string(r.n) + " " + r.name + " " + line->field;
    if (RecordFieldDiffers(r.now, r.wrote, field)) {
      Say(who + ": changed since (now " + JournalText(RecordFieldValue(r.now, field)) +
          "), left as it is");
      ++outcome.left;
      continue;
    }
    CopyRecordField(r.now, r.was, field);
    Say(who + ": " + line->new_value + " -> " + line->old_value);
    ++restored;
  }
  outcome.restored += restored;
  if (restored > 0 && op.Write(r.n, r.now) != frDone) outcome.sound = false;
}

// A character's file as it is now: its bytes, or "none".
bool CharacterFileNow(int character, std::string& hex) {
  std::string bytes;
  FileResult read = ReadGameLineFile(GamePath(NpcFileName(character)), bytes);
  hex = read == frDone ? JournalHex(bytes) : "none";
  return read == frDone || read == frMissing;
}

bool FileStands(const FileUndo& f, Outcome& outcome) {
  std::string now;
  bool read = CharacterFileNow(f.character, now);
  if (read && now == f.after) return true;
  Say(std::string("  ") + NpcFileName(f.character) +
      (read ? ": changed since, left as it is" : ": cannot be read, left as it is"));
  outcome.sound = outcome.sound && read;
  ++outcome.left;
  return false;
}

void UndoCharacterFile(GameOperation& op, const FileUndo& f, Outcome& outcome) {
  std::string bytes;
  bool none = f.before == "none";
  if (!none) JournalUnhex(f.before, bytes);
  if (!op.WriteCharacterFileBytes(f.character, none ? nullptr : &bytes)) {
    outcome.sound = false;
    return;
  }
  Say(std::string("  ") + NpcFileName(f.character) + ": put back as it was" +
      (none ? " (no file)" : ""));
  ++outcome.restored;
}

// A unit whose group holds one that cannot be put back stays as it is: a marriage goes back as a
// pair or not at all, and each side keeps the operation's other changes with it.
void LeaveWithItsPair(const Plan& plan, size_t u, Outcome& outcome) {
  const size_t records = plan.records.size();
  const std::string what = u < records ? "player " + std::to_string(plan.records[u].n) + " " +
                                             plan.records[u].name
                                       : NpcFileName(plan.files[u - records].character);
  Say("  " + what + ": left whole, as the other side of its marriage cannot be put back");
  outcome.left += u < records ? static_cast<int>(plan.records[u].fields.size()) : 1;
}

// Every record and file put back where it still holds what the operation wrote.
void UndoPlan(GameOperation& op, Plan& plan, Outcome& outcome) {
  const size_t records = plan.records.size();
  std::vector<bool> stands(plan.group.size());
  for (size_t i = 0; i < records; ++i) stands[i] = RecordStands(op, plan.records[i], outcome);
  for (size_t j = 0; j < plan.files.size(); ++j)
    stands[records + j] = FileStands(plan.files[j], outcome);
  for (size_t u = 0; u < stands.size() && outcome.sound; ++u) {
    bool pair = true;
    for (size_t v = 0; v < stands.size(); ++v)
      if (plan.group[v] == plan.group[u] && !stands[v]) pair = false;
    if (!stands[u]) continue;
    if (!pair)
      LeaveWithItsPair(plan, u, outcome);
    else if (u < records)
      UndoRecord(op, plan.records[u], outcome);
    else
      UndoCharacterFile(op, plan.files[u - records], outcome);
  }
  if (plan.notices.empty()) return;
  std::string files;
  for (const std::string& file : plan.notices) files += " " + file;
  Say("  notices already sent stay sent:" + files);
}

int Undo(const JournaledOperation& target, const std::string& kind, bool dry_run) {
  const JournalLine& head = target.lines.front();
  Say("undo of operation " + std::to_string(target.number) + " (" + head.operation + " by " +
      head.who + ", " + head.node + ", " + head.time + "):");
  Plan plan;
  plan.kind = kind;
  std::string refused = ReadPlan(target, plan);
  if (!refused.empty()) {
    CommandError(TerminalText("operation " + std::to_string(target.number) + " is refused, " +
                              refused + ": nothing was undone"));
    return 2;
  }
  GameOperation op(OperationKind::kUndo, dry_run);
  op.SetName(kUndoPrefix + std::to_string(target.number));
  FileResult held = op.Begin();
  if (held != frDone) {
    CommandError(FileProblemText(held) + " Nothing was undone.");
    return 2;
  }
  Outcome outcome;
  UndoPlan(op, plan, outcome);
  if (!outcome.sound) {
    CommandError("a file could not be written: nothing was undone");
    return 2;
  }
  if (outcome.restored == 0) {
    CommandSay("nothing restorable");
    return 1;
  }
  if (op.Commit(jrRequired) != frDone) {
    CommandError(op.FailedFile() + " could not be written: nothing was undone");
    return 2;
  }
  CommandSay(std::to_string(outcome.restored) + " restored, " + std::to_string(outcome.left) +
             " left as they are");
  return 0;
}

}  // namespace

int RunUndo(const CommandArgs& args, bool dry_run) {
  int32_t wanted = 0;
  if (args.size() > 1 || (args.size() == 1 && (!StrToIntWhole(args[0], wanted) || wanted < 1))) {
    CommandError("usage: zorvan32 undo [OPERATION] [--dry-run]");
    return 2;
  }
  if (!CommandLoadGame()) return 2;
  TargetSearch search(wanted);
  if (!VisitJournal(editor_state.journal_path,
                    [&](const JournalLine& line) { return search.Line(line); })) {
    CommandError(editor_state.journal_path + " cannot be read");
    return 2;
  }
  const JournaledOperation* target = search.Found();
  if (target == nullptr && wanted > 0 && !search.WantedSeen()) {
    CommandError("there is no operation " + std::to_string(wanted));
    return 1;
  }
  if (target == nullptr) {
    CommandSay("nothing to undo");
    return 1;
  }
  return Undo(*target, search.Kind(), dry_run);
}
