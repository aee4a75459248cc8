// The PC's eight text colours against ANSI's, for every layer that turns one into the other: the
// door's output, the local ANSI renderer and the terminal presenter.
#pragma once
#include <cstdint>

// PC colour (0-7) to ANSI colour number: the PC puts blue in bit 0, ANSI puts red there.
inline constexpr uint8_t AnsiColour[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// ANSI colour number (0-7) to PC colour. The map only swaps blue with red and cyan with brown, so
// it is its own inverse.
constexpr uint8_t PcColourOfAnsi(int ansi) { return AnsiColour[ansi & 7]; }
