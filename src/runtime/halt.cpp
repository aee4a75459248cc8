#include "runtime/halt.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

#include "runtime/console.h"
#include "runtime/files.h"

namespace {

struct OrderedStep {
  ExitStep step;
  int order;
};

struct HaltState {
  std::vector<OrderedStep> steps;  // in the order they run
  HaltHook halt_hook = nullptr;
  RunErrorHook run_error_hook = nullptr;
  std::string final_report;  // printed once the exit steps have given the terminal back
};
HaltState halt;

// Set once at start and kept: where the exit steps may run after an uncaught exception.
std::thread::id halting_thread;

// Each step leaves the chain before it runs, so none runs twice however the steps end.
void RunExitSteps() {
  while (!halt.steps.empty()) {
    const ExitStep step = halt.steps.front().step;
    halt.steps.erase(halt.steps.begin());
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

void SetHaltHook(HaltHook hook) { halt.halt_hook = hook; }
void SetRunErrorHook(RunErrorHook hook) { halt.run_error_hook = hook; }
void HaltReset() { halt = {}; }

void AddExitStep(ExitStep step, int order) {
  auto& steps = halt.steps;
  for (const OrderedStep& added : steps)
    if (added.step == step) return;
  auto later = steps.begin();
  while (later != steps.end() && later->order <= order) ++later;
  steps.insert(later, OrderedStep{step, order});
}

void HaltOnUncaughtException() {
  halting_thread = std::this_thread::get_id();
  std::set_terminate(&EndOnUncaughtException);
}

void Halt(int code) {
  RunExitSteps();
  if (!halt.final_report.empty()) {
    std::fflush(stdout);  // whatever the exit steps wrote comes before the report
    std::fputs(halt.final_report.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    halt.final_report.clear();
  }
  if (halt.halt_hook != nullptr) {
    halt.halt_hook(code);
    std::abort();  // a hook must not return
  }
  std::fflush(stdout);
  std::exit(code);
}

std::string RunErrorText(const std::string& file, int os_error) {
  std::string text = "I/O error on " + file + ": ";
  text += os_error == 0 ? std::string("unexpected end of file") : OsErrorText(os_error);
  return text;
}

void RunError(const std::string& file, int os_error) {
  const std::string text = RunErrorText(file, os_error);
  halt.final_report = "zorvan32: " + text;
  if (RunErrorHook hook = halt.run_error_hook) {
    halt.run_error_hook = nullptr;  // a failure while it reports is reported once
    hook(file, text);
  }
  Halt(kRunErrorExitCode);
}
