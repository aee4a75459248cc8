// zorvan32 set: fields of one player changed as the screen's field editors change them, in one
// operation on the record as read under the hold of PLAYER.DAT, so a node's change to any other
// field stays. A script is told what the screen would pass over: a number that is not a whole
// number, a flag value its toggle never gives, a character the editor's input line refuses.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_output.h"
#include "commands/commands.h"
#include "commands/game_view.h"
#include "door/helpers.h"
#include "door/input.h"
#include "editor/editor_state.h"
#include "editor/field_tables.h"
#include "editor/journal.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "runtime/files.h"

namespace {

enum SetKind : uint8_t {
  skNumber,   // a number editor: clamped as it clamps
  skFlag,     // a toggle: one of the values it gives
  skText,     // a text editor
  skRefused,  // no editor on the screen for it
};

// One field as the editors of the main and the extended screen change it, found in their own
// tables: a number as its number editor clamps it, a flag to the values its toggle gives.
struct SetRule {
  SetKind kind = skRefused;
  std::vector<int32_t> values = {};  // skFlag
  bool upper_case = false;           // skText
  std::string refusal = {};          // skRefused
};

struct Refusal {
  const char* field;
  const char* why;
};
const Refusal kRefusals[] = {
    {"married_to",
     "married_to is changed by the marriage editor, which also changes the spouse, the "
     "characters' files and sends the news; use the editor's screen"},
    {"time_on", "time_on is the game's own; the editor only shows it"},
};

SetRule RuleOf(const RecordField& field) {
  SetRule rule;
  if (NumberEditorOfField(field.offset) != nullptr) rule.kind = skNumber;
  rule.values = ToggleValuesOfField(field.offset);
  if (!rule.values.empty()) rule.kind = skFlag;
  if (TextEditorOfField(field.offset, rule.upper_case)) rule.kind = skText;
  if (rule.kind != skRefused) return rule;
  rule.refusal = std::string(field.name) + " has no editor on the screens";
  for (const Refusal& refusal : kRefusals)
    if (std::strcmp(refusal.field, field.name) == 0) rule.refusal = refusal.why;
  return rule;
}

// DoorInputLine, which every text editor reads with, takes at most this many characters.
constexpr size_t kLineMax = 20;

// A decimal whole number, optionally signed; beyond 32 bits it saturates as the editor's reading
// does, so the clamp still sees it above the range.
bool WholeNumber(const std::string& text, int32_t& value) {
  size_t digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
    return false;
  value = StrToIntLead(text);
  return true;
}

struct Assignment {
  SetRule rule;
  const RecordField* field;
  std::string given;   // as typed (UTF-8)
  int32_t number = 0;  // skNumber (clamped), skFlag
  std::string text;    // skText, CP437
  std::string note;    // how the value given became the one stored
};

std::string ValuesText(const std::vector<int32_t>& values) {
  std::string text;
  for (size_t i = 0; i < values.size(); ++i)
    text += (i == 0 ? "" : i + 1 == values.size() ? " or " : ", ") + std::to_string(values[i]);
  return text;
}

// Each Prepare gives why the value is refused, "" when it is taken.
std::string PrepareNumber(Assignment& a) {
  int32_t asked = 0;
  if (!WholeNumber(a.given, asked))
    return a.field->name + std::string(": \"") + a.given + "\" is not a whole number";
  const NumberEditor& r = *NumberEditorOfField(a.field->offset);
  a.number = ClampNumber(r, asked);
  if (asked < r.low_bound)
    a.note = " (asked " + a.given + "; the editor stores " + std::to_string(r.low_replacement) +
             " for anything below " + std::to_string(r.low_bound) + ")";
  else if (asked > r.high_bound)
    a.note = " (asked " + a.given + "; the editor's most is " + std::to_string(r.high_bound) + ")";
  return "";
}

std::string PrepareFlag(Assignment& a) {
  const std::vector<int32_t>& values = a.rule.values;
  if (!WholeNumber(a.given, a.number) ||
      std::find(values.begin(), values.end(), a.number) == values.end())
    return a.field->name + std::string(" takes ") + ValuesText(values) + ", not \"" + a.given +
           "\"";
  return "";
}

std::string PrepareText(Assignment& a) {
  std::string cp437;
  bool typable = Cp437FromUtf8(a.given, cp437);
  for (char c : cp437)
    if (kStandardInputSet.find(c) == std::string_view::npos) typable = false;
  if (!typable || cp437.empty())
    return a.field->name + std::string(": \"") + a.given +
           "\" is not a text the editor takes (1 to 20 printable ASCII characters)";
  if (cp437.size() > kLineMax) {
    cp437.resize(kLineMax);
    a.note = " (cut to the " + std::to_string(kLineMax) + " characters the editor's line takes)";
  }
  a.text = a.rule.upper_case ? UpperStr(cp437) : cp437;
  return "";
}

std::string Prepare(const std::string& arg, Assignment& a) {
  size_t equals = arg.find('=');
  std::string name = arg.substr(0, equals);
  a.field = FindRecordField(name);
  if (equals == std::string::npos || a.field == nullptr)
    return equals == std::string::npos
               ? "\"" + arg + "\" is not FIELD=VALUE"
               : "no field named \"" + name + "\" (zorvan32 show N lists them)";
  a.given = arg.substr(equals + 1);
  a.rule = RuleOf(*a.field);
  switch (a.rule.kind) {
    case skNumber: return PrepareNumber(a);
    case skFlag: return PrepareFlag(a);
    case skText: return PrepareText(a);
    case skRefused: return a.rule.refusal;
  }
  return "refused";
}

std::string Change(const PlayerRecord& before, const PlayerRecord& after,
                   const RecordField& field) {
  std::string was = ShownText(RecordFieldValue(before, field));
  std::string now = ShownText(RecordFieldValue(after, field));
  return "  " + std::string(field.name) + ": " + was + (was == now ? " (unchanged)" : " -> " + now);
}

// The assignment made on record; its lines appended to lines.
void Apply(const Assignment& a, PlayerRecord& record, std::vector<std::string>& lines) {
  const PlayerRecord before = record;
  if (a.rule.kind == skText)
    WriteRecordText(record, a.field->offset, a.field->size - 1u, a.text);
  else
    WriteField(record, a.field->Ref(), a.number);
  lines.push_back(Change(before, record, *a.field) + a.note);
  if (a.field != FindRecordField("dead") || before.dead == record.dead) return;
  const PlayerRecord alive = record;
  SetHitPointsForDeath(record);
  if (record.hit_points != alive.hit_points)
    lines.push_back(Change(alive, record, *FindRecordField("hit_points")) +
                    " (as the dead toggle sets it)");
}

}  // namespace

FileResult ReadHeldPlayers(GameOperation& op, int32_t only, std::vector<PlayerRecord>& players) {
  int32_t count = 0;
  FileResult result = CountPlayers(count);
  players.assign(result == frDone ? static_cast<size_t>(count) : 0, PlayerRecord{});
  for (int32_t n = 0; n < count && result == frDone; ++n)
    if (only < 0 || n == only) result = op.Read(n, players[static_cast<size_t>(n)]);
  return result;
}

int32_t FindHeld(GameOperation& op, const PlayerQuery& query, const std::string& arg,
                 PlayerRecord& record, FileResult& result) {
  std::vector<PlayerRecord> players;
  result = ReadHeldPlayers(op, query.number ? query.n : -1, players);
  if (result != frDone) return -3;
  int32_t n = FindPlayer(players, query, arg);
  if (n >= 0) record = players[static_cast<size_t>(n)];
  return n;
}

int NotDone(FileResult result) {
  CommandError(FileProblemText(result) +
               (result == frFailed ? " (" + OsErrorText(FileLastError()) + ")" : "") +
               " Nothing was changed.");
  return 2;
}

int NotJournaled(const GameOperation& op) {
  CommandError(op.FailedFile() + " cannot be written (" + OsErrorText(op.FailedError()) +
               "). Nothing was changed.");
  return 2;
}

std::string SetRefusesValue(const RecordField& field, const PlayerRecord& record) {
  const SetRule rule = RuleOf(field);
  if (rule.kind == skRefused) return rule.refusal;
  const std::string value = RecordFieldValue(record, field);
  const std::string why = std::string(field.name) + " " + JournalText(value);
  if (rule.kind == skText) {
    bool printable = std::none_of(value.begin(), value.end(), [](char c) {
      return static_cast<uint8_t>(c) < 0x20 || c == 0x7F;
    });
    return printable ? "" : why + " holds a control character";
  }
  // Zero is what a fresh record and the game's own resets hold, whatever the editors give.
  int32_t number = ReadField(record, field.Ref());
  if (number == 0) return "";
  if (rule.kind == skFlag)
    return std::count(rule.values.begin(), rule.values.end(), number) ? ""
                                                                         : why + " is no value its toggle gives";
  const NumberEditor& editor = *NumberEditorOfField(field.offset);
  return ClampNumber(editor, number) == number ? "" : why + " is outside its editor's range";
}

std::string SetRefusesArgument(const std::string& arg) {
  Assignment a;
  return Prepare(arg, a);
}

int SetPlayerFields(const std::string& query_arg, const CommandArgs& args, bool dry_run,
                    SetDone& done) {
  std::vector<Assignment> assignments(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string why = Prepare(args[i], assignments[i]);
    if (!why.empty()) {
      CommandError(why);
      return 2;
    }
  }
  PlayerQuery query;
  if (!ParsePlayerQuery(query_arg, query) || !CommandLoadGame()) return 2;

  GameOperation op(OperationKind::kSet, dry_run);
  FileResult result = op.Begin();
  if (result != frDone) return NotDone(result);
  PlayerRecord record;
  int32_t n = FindHeld(op, query, query_arg, record, result);
  if (n < 0) return result != frDone ? NotDone(result) : n == kSeveralPlayers ? 2 : 1;
  const PlayerRecord before = record;
  for (const Assignment& a : assignments) Apply(a, record, done.lines);
  const bool changed = std::memcmp(&before, &record, sizeof record) != 0;
  if (changed) {
    result = op.Write(n, record);
    if (result != frDone) return NotDone(result);
    if (op.Commit(jrRequired) != frDone) return NotJournaled(op);
  }
  done.n = n;
  if (done.written != nullptr) *done.written = record;
  done.lines.insert(done.lines.begin(),
                    "player " + std::to_string(n) + " " + ShownText(before.name.Get()) + ":");
  return dry_run && !changed ? 1 : 0;
}

int RunSet(const CommandArgs& args, bool dry_run) {
  if (args.size() < 2) {
    CommandError("usage: zorvan32 set N|NAME FIELD=VALUE ... [--dry-run]");
    return 2;
  }
  SetDone done;
  const int status =
      SetPlayerFields(args[0], CommandArgs(args.begin() + 1, args.end()), dry_run, done);
  if (done.n >= 0)
    for (const std::string& line : done.lines) std::printf("%s\n", line.c_str());
  return status;
}
