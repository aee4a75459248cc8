#include "editor/search.h"

// Not built yet: the main loop redraws only.
void DeletePlayer() {}
void SearchPlayer() {}
