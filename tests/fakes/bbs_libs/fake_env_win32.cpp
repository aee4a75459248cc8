#include <windows.h>

#include "fake_bbs.h"

// The process environment, not a C runtime's copy of it: a test sets it at run time.
std::string FakeEnv(const char* name) {
  char value[4096];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : "";
}
