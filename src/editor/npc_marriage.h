// The characters' marriage files MARRAGE.DAT (Quenna) and MARBARD.DAT (Dask Able), the work
// records through which the editor reads and writes other players, and the divorce operations.
#pragma once
#include <cstdint>
#include <string>

// The two characters a player can marry; 0 where none takes part.
enum NpcCharacter : uint8_t { npcNone = 0, npcQuenna = 1, npcDask = 2 };
const char* NpcFileName(int character);  // "MARRAGE.DAT", "MARBARD.DAT"
const char* NpcName(int character);      // "Quenna", "Dask Able"
// quenna_spouse or dask_spouse.
int32_t& NpcSpouse(int character);

// What ReadQuennaSpouse and ReadDaskSpouse give for a file that exists but could not be read even
// after the wait (a node holds it): who the character is married to is not known, which must never
// be taken for "nobody".
constexpr int32_t kSpouseUnknown = -3;

int32_t ReadQuennaSpouse();
int32_t ReadDaskSpouse();
bool AnyNpcFileExists();
// False when nothing was read (n is -1 or past the end, or the file could not be read); the work
// record then keeps what it held.
bool LoadWorkRecord(int32_t n, int work);
// The name of player n as work record `work` holds it, or the number alone when the buffer does not
// hold player n (a link to a record that does not exist must never show another player's name).
std::string SpouseNameText(int32_t n, int work);

// charm / 2, toward zero.
int16_t HalveCharm(int16_t charm);
// kind 1: the current player (a) from player b; 2, 5, 6: players a and b, neither current; 3: the
// current player from the character; 4: player a, not current, from the character. One operation,
// whole or not at all; false (with the reason in screen_notice) when nothing was changed.
bool ExecuteDivorce(int32_t a, int32_t b, int kind, int character);
// Asks first; true when the operator said yes and the divorce was made.
bool ConfirmPlayerDivorce(int32_t a, int32_t b);
// who: 1 the current player, 2 another player. False when nothing was changed.
bool DivorceFromNpc(int32_t player, int who, int character);
