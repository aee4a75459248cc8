#include "runtime/path_rules.h"

bool PathsAreCaseSensitive() { return true; }
