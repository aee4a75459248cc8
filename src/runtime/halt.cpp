#include "runtime/halt.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/files.h"

ExitProcedure ExitProc = nullptr;

namespace {
HaltHook halt_hook = nullptr;
std::string final_report;  // printed once the exit steps have given the terminal back
}  // namespace

void SetHaltHook(HaltHook hook) { halt_hook = hook; }

void Halt(int code) {
  // Each step restores the step it replaced, so the chain runs to its end.
  while (ExitProc != nullptr) {
    ExitProcedure step = ExitProc;
    ExitProc = nullptr;
    step();
  }
  if (!final_report.empty()) {
    std::fflush(stdout);  // whatever the exit steps wrote comes before the report
    std::fputs(final_report.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    final_report.clear();
  }
  if (halt_hook != nullptr) {
    halt_hook(code);
    std::abort();  // a hook must not return
  }
  std::fflush(stdout);
  std::exit(code);
}

std::string RunErrorText(const std::string& file, int os_error) {
  std::string text = "zorvan32: I/O error on " + file + ": ";
  text += os_error == 0 ? std::string("unexpected end of file") : OsErrorText(os_error);
  return text;
}

void RunError(const std::string& file, int os_error) {
  final_report = RunErrorText(file, os_error);
  Halt(kRunErrorExitCode);
}
