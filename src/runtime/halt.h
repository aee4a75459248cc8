// Ending the program: one Halt that runs the installed exit steps, and the runtime's I/O error report.
#pragma once
#include <climits>
#include <string>

// The exit steps, run by Halt in ascending order (equal orders as added), each once: a step leaves
// the chain before it runs, so a Halt from inside a step runs only the ones after it. Adding a step
// that is already in the chain does nothing. The console's close is the last step.
using ExitStep = void (*)();
constexpr int kExitStepLast = INT_MAX;
void AddExitStep(ExitStep step, int order);

// Runs the exit steps, then ends the process with the code.
[[noreturn]] void Halt(int code);

// The runtime's report of a file error that nothing handles: one line naming the file and the OS
// error text goes to stderr (after the exit steps have restored the terminal), then the program ends
// with kRunErrorExitCode. Nothing else is written after it.
constexpr int kRunErrorExitCode = 2;
[[noreturn]] void RunError(const std::string& file, int os_error);

// Told of an I/O report before the exit steps run (a door shows its caller which file, and logs
// it): the file as RunError got it and RunErrorText's report.
using RunErrorHook = void (*)(const std::string& file, const std::string& report);
void SetRunErrorHook(RunErrorHook hook);

// From now on an exception that nothing catches (std::bad_alloc when memory runs out, say) ends the
// program through the exit steps as Halt does, so the terminal and the caller's line are given
// back; one line naming it goes to stderr, then the program aborts as it would have. Call it on
// the thread that will call Halt: exit steps run only there, since one may need another thread.
void HaltOnUncaughtException();

// The report without the program's name in front: "I/O error on FILE: cause". RunError prints it
// after "zorvan32: " and gives it to the hook as it is.
std::string RunErrorText(const std::string& file, int os_error);

// Tests: called by Halt instead of ending the process, after the exit steps. It must not return
// (a test hook throws); nullptr restores the real process exit.
using HaltHook = void (*)(int code);
void SetHaltHook(HaltHook hook);

// No exit step, hook or pending report (part of RuntimeReset).
void HaltReset();
