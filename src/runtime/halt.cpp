#include "runtime/halt.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

#include "runtime/console.h"
#include "runtime/files.h"

ExitProcedure ExitProc = nullptr;

namespace {

HaltHook halt_hook = nullptr;
RunErrorHook run_error_hook = nullptr;
std::string final_report;  // printed once the exit steps have given the terminal back
std::thread::id halting_thread;  // where the exit steps may run after an uncaught exception

// Each step restores the step it replaced, so the chain runs to its end.
void RunExitSteps() {
  while (ExitProc != nullptr) {
    ExitProcedure step = ExitProc;
    ExitProc = nullptr;
    step();
  }
}

// The exception's own text; the pointer lives as long as error does.
const char* UncaughtText(const std::exception_ptr& error) {
  if (!error) return "std::terminate called";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "an exception of unknown type";
}

[[noreturn]] void EndOnUncaughtException() {
  static std::atomic<bool> ending{false};
  if (!ending.exchange(true)) {
    const std::exception_ptr error = std::current_exception();
    if (std::this_thread::get_id() == halting_thread) {
      try {
        RunExitSteps();
      } catch (...) {  // a step that failed as well: the terminal below is what matters
      }
    }
    ConsoleRestoreModes();  // the steps did not run, or failed before the console's
    std::fprintf(stderr, "zorvan32: ended by an uncaught exception: %s\n", UncaughtText(error));
    std::fflush(stderr);
  }
  std::abort();
}

}  // namespace

void SetHaltHook(HaltHook hook) { halt_hook = hook; }
void SetRunErrorHook(RunErrorHook hook) { run_error_hook = hook; }

void HaltOnUncaughtException() {
  halting_thread = std::this_thread::get_id();
  std::set_terminate(&EndOnUncaughtException);
}

void Halt(int code) {
  RunExitSteps();
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
  if (RunErrorHook hook = run_error_hook) {
    run_error_hook = nullptr;  // a failure while it reports is reported once
    hook(file, final_report);
  }
  Halt(kRunErrorExitCode);
}
