// The "Clean Slate" reset of a cheating player.
#pragma once

#include "editor/key_table.h"

// Asks, then resets the current player's stats and sends the mail and news; on success the result
// lines stand under the main screen, drawn with draw_screen.
void GiveCleanSlate(DrawScreen draw_screen);
