#include <windows.h>

#include "door32_test_env.h"

// The fakes read the process environment (GetEnvironmentVariableA).
void SetTestEnv(const char* name, const char* value) { SetEnvironmentVariableA(name, value); }
