// The main screen's new-day command: a player put into the state of a fresh game day.
#pragma once

// Asks the forest and player fights, then restores hit points, mends gems and gold, clears the
// daily flags and runs the repair as one operation; deletes the player's node files afterwards.
// True when the new day was made: the main screen is to be drawn with it.
bool NewDayForPlayer();
