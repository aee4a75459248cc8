// The married-to text that the main screen and the marriage editor show.
#pragma once
#include <cstdint>
#include <string>

// A player spouse by number and name; otherwise a character whose file names the current player;
// otherwise nobody. Reads the characters' files but asks nothing.
std::string MarriedToText(int32_t married_to);
// Before that text is shown: a current player without a player spouse whom both characters' files
// name is asked which marriage goes (ReadDaskSpouse's question).
void AskAboutBothCharacters();
