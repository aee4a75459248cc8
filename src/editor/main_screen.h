// The main edit screen and its command loop.
#pragma once
#include <string>

void MainLoop();
void DrawMainScreen();
std::string MainFieldText(char key);
void ChooseSeenLabel();
std::string AccountNumberText();
