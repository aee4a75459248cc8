// The characters' marriage files MARRAGE.DAT (Quenna) and MARBARD.DAT (Dask Able), and the work
// records through which the editor reads and writes other players.
#pragma once
#include <cstdint>
#include <string>

#include "editor/npc_files.h"

// quenna_spouse or dask_spouse.
int32_t& NpcSpouse(int character);

// The work records' roles: other players read for a marriage change or the main screen, each
// kept in its own buffer so that one step never overwrites a player another step still holds.
enum WorkSlot : uint8_t {
  wkSpouseOfCurrent = 1,   // the other player of the current player's divorce or wedding
  wkLeavingCharacter = 2,  // a player, not the current one, divorced from a character
  wkRequested = 2,         // the requested spouse (never needed beside the one above)
  wkSpouseOfRequested = 3,
  wkProbe = 4,             // read for its married_to alone
  wkFirstOfOthers = 5,     // the two players of a divorce the current player takes no part in
  wkSecondOfOthers = 6,
  wkQuennaHusband = 7,     // loaded whenever MARRAGE.DAT is read
  wkDaskWife = 8,          // loaded whenever MARBARD.DAT is read
};

// What ReadQuennaSpouse and ReadDaskSpouse give for a file that exists but could not be read even
// after the wait (a node holds it): who the character is married to is not known, which must never
// be taken for "nobody".
constexpr int32_t kSpouseUnknown = -3;

// The number a character's file holds: its first token as a decimal number; a token that is not one
// (or none) is 0, as the game reads it (numeric says which). A Ctrl-Z ends the text.
int32_t NpcFileNumber(std::string bytes, bool* numeric = nullptr);
int32_t ReadQuennaSpouse();
// May ask the operator a question and delete files: a player married to both characters is
// offered the repair (0 keeps both, 1-3 delete one or both files) before the number is returned.
int32_t ReadDaskSpouse();
// The two halves of it: the question alone, asked while both files name the current player; and
// the number (with Quenna's, read first) without it, for what only shows it.
void AskIfMarriedToBoth();
int32_t ReadDaskSpouseUnasked();
bool AnyNpcFileExists();
// False when nothing was read (n is -1 or past the end, or the file could not be read); the work
// record then keeps what it held.
bool LoadWorkRecord(int32_t n, int work);
// The name of player n as work record `work` holds it, or the number alone when the buffer does not
// hold player n (a link to a record that does not exist must never show another player's name).
std::string SpouseNameText(int32_t n, int work);
