// Test harness for everything above the runtime: a headless console, scripted keys, a recorder of
// the output stream and a Halt that throws instead of ending the test process.
#pragma once
#include <functional>
#include <string>
#include <string_view>

// Thrown by the halt hook; carries the exit code.
struct HaltSignal {
  int code;
};

// The exit code Halt was given while act ran; -1 when act returned.
int HaltCodeOf(const std::function<void()>& act);

// Every layer back to program start through its own reset (each test begins here), then Halt throws
// HaltSignal; a live OutputRecorder stays attached, emptied.
void ResetEverything();

// Everything written through DoorWrite since the last Reset/Take, as one byte string. Recorders share
// one record, so a test fixture may hold one as a member across ResetEverything.
class OutputRecorder {
 public:
  OutputRecorder();   // starts recording (and clears)
  ~OutputRecorder();  // stops recording
  const std::string& Bytes() const;
  std::string Take();  // the bytes so far, then clears
};

// Keys for the local keyboard, as typed (an extended key is "\0" plus its scan code).
void TypeKeys(std::string_view keys);

// ESC as a string, for readable expectations.
inline const std::string ESC = "\x1b";
