// Finding players by name and deleting them.
#pragma once

// Each returns true when the main screen is to be drawn at once: the player was deleted (or the
// deletion's failure noted), or the search moved to the player found.
bool DeletePlayer();
bool SearchPlayer();
