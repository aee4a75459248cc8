// The small prompts every editor shares, and the credits shown on the way out.
#pragma once

// Waits for Y, N or Enter; true only for Y. Prints nothing.
bool YesNo();
// A line holding one blank.
void BlankLine();
void ShowCredits();
