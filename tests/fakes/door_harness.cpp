#include "fakes/door_harness.h"

#include <utility>

#include "comm/local_screen.h"
#include "door/input.h"
#include "door/library.h"
#include "door/output.h"
#include "door/session.h"
#include "editor/editor_state.h"
#include "runtime/console.h"
#include "runtime/halt.h"
#include "runtime/keyboard.h"
#include "runtime/state.h"

namespace {
std::string recorded;
int live_recorders = 0;
void Record(std::string_view bytes) { recorded.append(bytes); }
[[noreturn]] void ThrowHalt(int code) { throw HaltSignal{code}; }
}  // namespace

int HaltCodeOf(const std::function<void()>& act) {
  try {
    act();
  } catch (const HaltSignal& halt) {
    return halt.code;
  }
  return -1;
}

void ResetEverything() {
  RuntimeReset();
  ResetDoorLibrary();
  EditorStateReset();
}

void ResetDoorLibrary() {
  ExitProc = nullptr;
  ConsoleReset();
  LocalScreenReset();
  DoorOutputReset();
  if (live_recorders > 0) {  // a recorder made before the reset keeps recording, from empty
    recorded.clear();
    DoorSetOutputTap(&Record);
  }
  DoorInputReset();
  DoorSessionReset();
  LocalKeyScriptClear();
  SetHaltHook(&ThrowHalt);  // Halt throws HaltSignal from now on
}

OutputRecorder::OutputRecorder() {
  recorded.clear();
  ++live_recorders;
  DoorSetOutputTap(&Record);
}
OutputRecorder::~OutputRecorder() {
  if (--live_recorders == 0) DoorSetOutputTap(nullptr);
}
const std::string& OutputRecorder::Bytes() const { return recorded; }
std::string OutputRecorder::Take() { return std::exchange(recorded, {}); }

void TypeKeys(std::string_view keys) { LocalKeyScript(keys); }
