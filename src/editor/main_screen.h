// The main edit screen and its command loop.
#pragma once
#include <string>

void MainLoop();
// The married-to field reads the characters' files through ReadDaskSpouse, so drawing the screen
// may stop to ask the operator about a player married to both characters.
void DrawMainScreen();
std::string MainFieldText(char key);
void ChooseSeenLabel();
std::string AccountNumberText();
