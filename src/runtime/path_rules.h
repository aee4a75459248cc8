// How the platform treats path names, for the few places in the editor that must differ.
#pragma once

// True where two spellings of a name in different letter case are different files (POSIX), false
// where they are the same file (Windows). The first-run prompt upper-cases the game path only where
// this is false.
bool PathsAreCaseSensitive();
