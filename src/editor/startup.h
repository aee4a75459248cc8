// The editor's start, its configuration file, the shared prompts and the credits.
#pragma once

// The program: start-up in order, the main loop, the credits; returns the exit code.
int ZorvanMain(int argc, char** argv);
// The same without opening the console presenter (tests drive it on the headless model).
int EditorMain(int argc, char** argv);
void LoadConfig();
void ConfigPrompt();
// Waits for Y, N or Enter; true only for Y. Prints nothing.
bool YesNo();
// A line holding one blank.
void BlankLine();
void ShowCredits();
