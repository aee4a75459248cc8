// The two characters a player can marry, and the files that name each one's spouse: below the
// operation that rewrites them and the questions that ask about them.
#pragma once
#include <cstdint>

// 0 where none takes part.
enum NpcCharacter : uint8_t { npcNone = 0, npcQuenna = 1, npcDask = 2 };
const char* NpcFileName(int character);  // "MARRAGE.DAT", "MARBARD.DAT"
const char* NpcName(int character);      // "Quenna", "Dask Able"
