// Divorces: of two players, or of a player from a character. Each is one operation: both records
// read and written under one hold of PLAYER.DAT, the character's file with them, and the news and
// mail only once all of that is written.
#pragma once
#include <cstdint>

#include "editor/key_table.h"

// ExecuteDivorce's kinds: 2, 5 and 6 all divorce two players neither of whom is current.
enum DivorceKind : uint8_t {
  dkCurrentFromPlayer = 1,
  dkOthers = 2,
  dkCurrentFromCharacter = 3,
  dkOtherFromCharacter = 4,
  dkOthersAgain = 5,
  dkOthersOnceMore = 6,
};
// Whom DivorceFromNpc divorces.
enum DivorceWho : uint8_t { dwCurrent = 1, dwOther = 2 };

// charm / 2, toward zero.
int16_t HalveCharm(int16_t charm);
// One divorce of its kind, as one operation, whole or not at all; false (with the reason in
// screen_notice) when nothing was changed.
bool ExecuteDivorce(int32_t a, int32_t b, DivorceKind kind, int character);
// Asks first; true when the operator said yes and the divorce was made.
bool ConfirmPlayerDivorce(int32_t a, int32_t b, DrawScreen draw_screen);
// False when nothing was changed.
bool DivorceFromNpc(int32_t player, DivorceWho who, int character, DrawScreen draw_screen);
