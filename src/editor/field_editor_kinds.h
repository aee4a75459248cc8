// The three kinds of main-screen field editor, each run from its own table (field_editors.cpp
// dispatches a key to whichever table holds it).
#pragma once
#include "editor/key_table.h"

// Each returns false when its table has no row for the key.
bool RunMainNumberEditor(char key);  // field_editors.cpp
bool RunMainTextEditor(char key);    // text_editors.cpp
bool RunMainToggle(char key, DrawScreen draw_screen);  // toggles.cpp
