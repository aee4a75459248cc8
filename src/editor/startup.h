// The editor's start and its configuration file.
#pragma once

// The program: start-up in order, the main loop, the credits; returns the exit code.
int ZorvanMain(int argc, char** argv);
// The same without opening the console presenter (tests drive it on the headless model).
int EditorMain(int argc, char** argv);
// game_dir from ZORVAN32.CFG, after the first-run prompt when there is none. False, with game_dir
// empty, when the line cannot name a directory (it holds a control character).
bool LoadConfig();
void ConfigPrompt();
