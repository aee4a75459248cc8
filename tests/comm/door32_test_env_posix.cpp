#include <cstdlib>

#include "door32_test_env.h"

void SetTestEnv(const char* name, const char* value) { setenv(name, value, 1); }
