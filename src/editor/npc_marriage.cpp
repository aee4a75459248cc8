// Reading the characters' marriage files, the check for a player married to both characters, and
// the work records through which other players are read and written.
#include "editor/npc_marriage.h"

#include <string>

#include "door/helpers.h"
#include "door/input.h"
#include "door/output.h"
#include "editor/editor_state.h"
#include "editor/player_file.h"
#include "editor/startup.h"
#include "runtime/files.h"

namespace {

const char* const kQuennaFile = "MARRAGE.DAT";
const char* const kDaskFile = "MARBARD.DAT";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first token of the file as a decimal number; a token that is not one (or no token) is 0.
// A Ctrl-Z ends the text, as in the game's other text files.
int32_t FirstNumber(std::string bytes) {
  bytes = bytes.substr(0, bytes.find('\x1a'));
  size_t begin = 0;
  while (begin < bytes.size() && IsBlank(bytes[begin])) ++begin;
  size_t end = begin;
  while (end < bytes.size() && !IsBlank(bytes[end])) ++end;
  std::string token = bytes.substr(begin, end - begin);
  size_t digits = token.empty() || (token[0] != '-' && token[0] != '+') ? 0 : 1;
  if (digits == token.size()) return 0;
  int64_t value = 0;
  for (size_t i = digits; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return 0;
    value = value * 10 + (token[i] - '0');
    if (value > INT32_MAX) return 0;
  }
  return static_cast<int32_t>(token[0] == '-' ? -value : value);
}

// The number in a character's file; false when the file is missing or will not open (a node may
// hold it for a moment), which reads as "not married" rather than ending the program.
bool ReadSpouseFile(const char* name, int32_t& number) {
  std::string path = GamePath(name);
  if (!PathExists(path)) return false;
  OsFile file;
  std::string bytes;
  if (!FileOpen(file, path, faRead) || !FileReadAll(file, bytes)) return false;
  number = FirstNumber(bytes);
  return true;
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
  if (selection == 1 || selection == 3) DeleteFileIfExists(GamePath(kDaskFile));
  if (selection == 2 || selection == 3) DeleteFileIfExists(GamePath(kQuennaFile));
}

}  // namespace

int32_t ReadQuennaSpouse() {
  int32_t number = 0;
  if (!ReadSpouseFile(kQuennaFile, number)) return -1;
  quenna_spouse = number;
  LoadWorkRecord(number, 7);
  return number;
}

int32_t ReadDaskSpouse() {
  for (;;) {
    int32_t dask = 0;
    if (!ReadSpouseFile(kDaskFile, dask)) return -1;
    if (ReadQuennaSpouse() == dask && dask == current_player) {
      uint8_t selection = AskBothCharacters();
      if (selection != 0) {
        RemoveCharacterFiles(selection);
        continue;  // both files afresh
      }
    }
    dask_spouse = dask;
    LoadWorkRecord(dask, 8);
    return dask;
  }
}

bool AnyNpcFileExists() {
  return PathExists(GamePath(kDaskFile)) || PathExists(GamePath(kQuennaFile));
}

void LoadWorkRecord(int32_t n, int work) {
  if (n == -1 || !ValidWork(work)) return;
  player_path = GamePath("PLAYER.DAT");
  if (PlayerCount() < n) return;
  SetFileOpenMode(fmExclusive);
  OsFile file;
  PlayerRecord record;
  // A failed read leaves the work record as it was.
  if (n >= 0 && FileOpen(file, player_path, faReadWrite) &&
      FileReadAt(file, static_cast<int64_t>(n) * kPlayerRecordSize, &record, kPlayerRecordSize))
    work_records[work] = record;
  FileClose(file);
  same_sex = work_records[work].sex == current_record.sex;
}

void SaveWorkRecord(int32_t n, int work) {
  if (!ValidWork(work)) return;
  // Only existing records: writing past the end would add a stale copy of a player as a new one.
  // The same patience with a busy file as the current player's save, and a word when it runs out,
  // since the other half of a marriage change would otherwise be lost silently.
  if (WritePlayerRecord(player_path, n, work_records[work], true) == wrBusy)
    DoorPrintLn("  `@PLAYER.DAT is busy!  `%Player " + IntToStr(n) + "'s record was not written.");
}
