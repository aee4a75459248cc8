// The three kinds of main-screen field editor, each run from its own table (field_editors.cpp
// dispatches a key to whichever table holds it).
#pragma once

// Each returns false when its table has no row for the key.
bool RunMainNumberEditor(char key);
bool RunMainTextEditor(char key);
bool RunMainToggle(char key);
