#include "editor/editor_state.h"

const char* const version_text = "v" ZORVAN_VERSION " Beta";
const char* const compile_date_text = "January 07, 2006.";

EditorState editor_state;

void EditorStateReset() { editor_state = {}; }
