// PLACEHOLDER (to be replaced): only the test script gives keys.
#include <string>

#include "runtime/keyboard.h"

namespace {
std::string script;
}

bool LocalKeyPressed() { return !script.empty(); }
uint8_t LocalReadKey() {
  if (script.empty()) return 0;
  auto c = static_cast<uint8_t>(script.front());
  script.erase(0, 1);
  return c;
}
bool LocalKeyboardPresent() { return !script.empty(); }
void LocalKeyScript(std::string_view bytes) { script.append(bytes); }
void LocalKeyScriptClear() { script.clear(); }
