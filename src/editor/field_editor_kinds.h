// The three kinds of main-screen field editor, each run from its own table (field_editors.cpp
// dispatches a key to whichever table holds it).
#pragma once
#include <cstdint>
#include <vector>

// Each returns false when its table has no row for the key.
bool RunMainNumberEditor(char key);
bool RunMainTextEditor(char key);
bool RunMainToggle(char key);

// The values the main screen's toggle of the field at that offset gives; empty when it has none.
std::vector<int32_t> MainToggleValues(uint16_t offset);
