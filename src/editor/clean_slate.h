// The "Clean Slate" reset of a cheating player.
#pragma once

void CleanSlateReset();
