#include <cstdlib>

#include "fake_bbs.h"

std::string FakeEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}
