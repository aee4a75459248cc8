#include "fakes/door_harness.h"

#include <utility>

#include "comm/state.h"
#include "door/library.h"
#include "door/output.h"
#include "editor/editor_state.h"
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
  CommReset();
  DoorLibraryReset();
  EditorStateReset();
  if (live_recorders > 0) {  // a recorder made before the reset keeps recording, from empty
    recorded.clear();
    DoorSetOutputTap(&Record);
  }
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
