// The main screen's field editors: number editors, text editors and toggles, each from its table.
#pragma once

// Runs the editor or toggle of a main-screen field key (1-9, 0, A-P, @); false for other keys.
bool RunFieldEditor(char key);
// Reused by the new-day command.
void EditForestFights();
void EditPlayerFights();
