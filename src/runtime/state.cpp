#include "runtime/state.h"

#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/files.h"
#include "runtime/halt.h"
#include "runtime/keyboard.h"
#include "runtime/signals.h"
#include "runtime/waiter.h"

void RuntimeReset() {
  FilesReset();
  ClockOverride(nullptr);
  HangupForget();
  WaitForgetWake();
  HaltReset();
  ConsoleReset();
  LocalKeyboardReset();
}
