// Reading the characters' marriage files, the check for a player married to both characters, and
// the work records through which other players are read and written.
#include "editor/npc_marriage.h"

#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/operation.h"
#include "editor/player_file.h"
#include "editor/prompts.h"
#include "runtime/files.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

enum SpouseRead : uint8_t { srMissing, srRead, srUnknown };

// The number in a character's file. A file that is there but cannot be read (a node holds it past
// the wait, no permission) is unknown: reading it as "not married" would let the character be
// married twice.
SpouseRead ReadSpouseFile(const char* name, int32_t& number) {
  std::string bytes;
  FileResult read = ReadGameLineFile(GamePath(name), bytes);
  if (read == frMissing) return srMissing;  // deleted meanwhile too: unmarried after all
  if (read != frDone) return srUnknown;
  number = NpcFileNumber(bytes);
  return srRead;
}

bool ValidWork(int work) { return work >= 1 && work <= 8; }

// The operator's choice for a player married to both characters: 0 keeps both files.
uint8_t AskBothCharacters() {
  DoorPrintLn("  `#Houston we have a problem!  `%Player is Married to both Dask and Quenna.");
  BlankLine();
  DoorPrintLn("  `%0=No change, 1=Remove Dask, 2=Remove Quenna, 3=Remove Both.");
  DoorPrintLn("  `%Enter the Selection code you want now (0-3 range).");
  DoorPrintColour("    `%> ");
  auto selection = static_cast<uint8_t>(StrToIntLead(DoorInputLine()));
  return selection > 3 ? 0 : selection;
}

void RemoveCharacterFiles(uint8_t selection) {
  if (selection == 1) DeleteCharacterFiles(OperationKind::kDoubleMarriageRepair, {npcDask});
  if (selection == 2) DeleteCharacterFiles(OperationKind::kDoubleMarriageRepair, {npcQuenna});
  if (selection == 3)
    DeleteCharacterFiles(OperationKind::kDoubleMarriageRepair, {npcDask, npcQuenna});
}

}  // namespace

int32_t NpcFileNumber(std::string bytes, bool* numeric) {
  bytes = bytes.substr(0, bytes.find('\x1a'));
  size_t begin = 0;
  while (begin < bytes.size() && IsBlank(bytes[begin])) ++begin;
  size_t end = begin;
  while (end < bytes.size() && !IsBlank(bytes[end])) ++end;
  std::string token = bytes.substr(begin, end - begin);
  if (numeric != nullptr) *numeric = false;
  size_t digits = token.empty() || (token[0] != '-' && token[0] != '+') ? 0 : 1;
  if (digits == token.size()) return 0;
  int64_t value = 0;
  for (size_t i = digits; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return 0;
    value = value * 10 + (token[i] - '0');
    if (value > INT32_MAX) return 0;
  }
  if (numeric != nullptr) *numeric = true;
  return static_cast<int32_t>(token[0] == '-' ? -value : value);
}

int32_t ReadQuennaSpouse() {
  int32_t number = 0;
  SpouseRead read = ReadSpouseFile(NpcFileName(npcQuenna), number);
  if (read != srRead) return read == srMissing ? -1 : kSpouseUnknown;
  editor_state.quenna_spouse = number;
  LoadWorkRecord(number, wkQuennaHusband);
  return number;
}

int32_t ReadDaskSpouse() {
  AskIfMarriedToBoth();
  return ReadDaskSpouseUnasked();
}

void AskIfMarriedToBoth() {
  for (;;) {
    int32_t dask = 0;
    int32_t quenna = 0;
    if (ReadSpouseFile(NpcFileName(npcDask), dask) != srRead || dask != editor_state.current_player)
      return;
    if (ReadSpouseFile(NpcFileName(npcQuenna), quenna) != srRead || quenna != dask) return;
    uint8_t selection = AskBothCharacters();
    if (selection == 0) return;
    RemoveCharacterFiles(selection);  // then both files afresh
  }
}

int32_t ReadDaskSpouseUnasked() {
  int32_t dask = 0;
  SpouseRead read = ReadSpouseFile(NpcFileName(npcDask), dask);
  if (read != srRead) return read == srMissing ? -1 : kSpouseUnknown;
  ReadQuennaSpouse();
  editor_state.dask_spouse = dask;
  LoadWorkRecord(dask, wkDaskWife);
  return dask;
}

int32_t& NpcSpouse(int character) {
  return character == npcDask ? editor_state.dask_spouse : editor_state.quenna_spouse;
}

bool AnyNpcFileExists() {
  return PathExists(GamePath(NpcFileName(npcDask))) || PathExists(GamePath(NpcFileName(npcQuenna)));
}

bool LoadWorkRecord(int32_t n, int work) {
  if (n == -1 || !ValidWork(work)) return false;
  if (PlayerCount() < n) {
    editor_state.work_loaded_from[work] = -1;
    return false;
  }
  // A failed read leaves the work record as it was.
  bool read = ReadPlayerRecord(n, editor_state.work_records[work]) == frDone;
  editor_state.work_loaded_from[work] = read ? n : -1;
  editor_state.same_sex = editor_state.work_records[work].sex == editor_state.current_record.sex;
  return read;
}

std::string SpouseNameText(int32_t n, int work) {
  if (ValidWork(work) && n >= 0 && editor_state.work_loaded_from[work] == n)
    return editor_state.work_records[work].name.Get();
  return IntToStr(n);
}
