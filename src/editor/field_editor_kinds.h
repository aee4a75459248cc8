// The three kinds of main-screen field editor, each run from its own table (field_editors.cpp
// dispatches a key to whichever table holds it).
#pragma once
#include <cstdint>
#include <vector>

// Each returns false when its table has no row for the key.
bool RunMainNumberEditor(char key);  // field_editors.cpp
bool RunMainTextEditor(char key);    // text_editors.cpp
bool RunMainToggle(char key);        // toggles.cpp

// The values the main screen's toggle of the field at that offset gives; empty when it has none.
std::vector<int32_t> MainToggleValues(uint16_t offset);  // toggles.cpp
