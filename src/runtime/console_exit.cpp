#include "runtime/console_exit.h"

#include "runtime/console.h"
#include "runtime/halt.h"

namespace {

ExitProcedure saved_exit = nullptr;
bool pending = false;  // in the chain and not yet run: a second open must not add it again

void ConsoleExitStep() {
  pending = false;
  ExitProc = saved_exit;
  while (ExitProc != nullptr) {
    ExitProcedure step = ExitProc;
    ExitProc = nullptr;
    step();
  }
  ConsoleClose();
}

}  // namespace

void ConsoleInstallExitStep() {
  if (pending) return;
  pending = true;
  saved_exit = ExitProc;
  ExitProc = &ConsoleExitStep;
}
