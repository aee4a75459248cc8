// Standard input and output on Windows: pipes or a socket (a BBS's redirection) or the console
// itself, whose keys come as VT sequences and whose output takes ANSI sequences.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "runtime/std_stream.h"

namespace {

constexpr DWORD kPumpSize = 4'096;

// A pipe or socket on standard input can neither be asked what it holds (Wine refuses
// PeekNamedPipe on them) nor have a read called off (CancelSynchronousIo and CancelIoEx leave it
// waiting under Wine), and a channel thread that sat in such a read would hold the door's end until
// the caller typed again. So a thread of its own makes the blocking reads, one at a time, into a
// buffer that the channel takes from without ever waiting; nothing joins it, and the process's end
// ends its read. Only what the last read brought can be lost with it, as with any read ahead.
struct InputPump {
  HANDLE in = INVALID_HANDLE_VALUE;
  HANDLE thread = nullptr;
  HANDLE ready = nullptr;  // manual reset: bytes held, or the input ended
  HANDLE taken = nullptr;  // auto reset: the buffer is empty again
  CRITICAL_SECTION guard;
  uint8_t bytes[kPumpSize];
  DWORD start = 0, count = 0;
  bool ended = false;
  DWORD error = 0;  // why it ended; 0 for the end of input
};

DWORD WINAPI PumpMain(void* argument) {
  auto* pump = static_cast<InputPump*>(argument);
  for (;;) {
    DWORD got = 0;
    const BOOL ok = ReadFile(pump->in, pump->bytes, kPumpSize, &got, nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    EnterCriticalSection(&pump->guard);
    pump->start = 0;
    pump->count = got;
    pump->ended = got == 0;
    pump->error = error;
    SetEvent(pump->ready);
    LeaveCriticalSection(&pump->guard);
    if (got == 0) return 0;
    WaitForSingleObject(pump->taken, INFINITE);
  }
}

struct StdHandles {
  HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE;
  bool in_console = false, out_console = false;
  DWORD saved_in_mode = 0, saved_out_mode = 0;
  UINT saved_code_page = 0;
  bool taken = false;
  InputPump* pump = nullptr;  // input that only a blocking read can take
};

StdHandles handles;
int last_error = 0;

bool PumpEnded(InputPump& pump) {
  EnterCriticalSection(&pump.guard);
  const bool ended = pump.ended;
  LeaveCriticalSection(&pump.guard);
  return ended;
}

// One pump per input handle, kept across a give-back and a new take-over of the same one (its
// read may be under way). One whose thread has ended is freed; one still reading is left to it.
void StartPump() {
  if (InputPump* old = handles.pump) {
    if (old->in == handles.in && !PumpEnded(*old)) return;
    if (old->thread == nullptr || WaitForSingleObject(old->thread, 0) == WAIT_OBJECT_0) {
      if (old->thread != nullptr) CloseHandle(old->thread);
      CloseHandle(old->ready);
      CloseHandle(old->taken);
      DeleteCriticalSection(&old->guard);
      delete old;
    }
  }
  auto* pump = new InputPump;
  pump->in = handles.in;
  pump->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  pump->taken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  InitializeCriticalSection(&pump->guard);
  pump->thread = CreateThread(nullptr, 0, &PumpMain, pump, 0, nullptr);
  if (pump->thread == nullptr) {  // no thread: the input counts as failed
    pump->ended = true;
    pump->error = GetLastError();
    SetEvent(pump->ready);
  }
  handles.pump = pump;
}

int32_t PumpTake(uint8_t* buffer, int32_t n) {
  InputPump& pump = *handles.pump;
  int32_t result = kStdStreamNothing;
  EnterCriticalSection(&pump.guard);
  if (pump.count > 0) {
    const DWORD k = std::min(static_cast<DWORD>(n), pump.count);
    std::memcpy(buffer, pump.bytes + pump.start, k);
    pump.start += k;
    pump.count -= k;
    if (pump.count == 0) {
      ResetEvent(pump.ready);
      SetEvent(pump.taken);
    }
    result = static_cast<int32_t>(k);
  } else if (pump.ended) {
    last_error = static_cast<int>(pump.error);
    result = pump.error == 0 || pump.error == ERROR_BROKEN_PIPE ? kStdStreamEnd : kStdStreamError;
  }
  LeaveCriticalSection(&pump.guard);
  return result;
}

// Key presses only: other console records (mouse, focus, key releases) are dropped, so they never
// look like input.
bool ConsoleKeyWaiting() {
  INPUT_RECORD records[32];
  DWORD n = 0;
  if (PeekConsoleInputA(handles.in, records, 32, &n) == 0) return true;  // the read reports it
  for (DWORD i = 0; i < n; ++i)
    if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown &&
        records[i].Event.KeyEvent.uChar.AsciiChar != 0)
      return true;
  if (n > 0) ReadConsoleInputA(handles.in, records, n, &n);
  return false;
}


}  // namespace

void StdStreamTakeOver(bool utf8) {
  if (handles.taken) return;
  handles.taken = true;
  handles.in = GetStdHandle(STD_INPUT_HANDLE);
  handles.out = GetStdHandle(STD_OUTPUT_HANDLE);
  handles.in_console = GetConsoleMode(handles.in, &handles.saved_in_mode) != 0;
  handles.out_console = GetConsoleMode(handles.out, &handles.saved_out_mode) != 0;
  if (!handles.in_console && GetFileType(handles.in) != FILE_TYPE_DISK)
    StartPump();
  else
    handles.pump = nullptr;
  if (handles.in_console) SetConsoleMode(handles.in, ENABLE_VIRTUAL_TERMINAL_INPUT);
  if (handles.out_console) {
    SetConsoleMode(handles.out, handles.saved_out_mode | ENABLE_PROCESSED_OUTPUT |
                                    ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    handles.saved_code_page = GetConsoleOutputCP();
    SetConsoleOutputCP(utf8 ? CP_UTF8 : 437);
  }
}

void StdStreamGiveBack() {
  if (!handles.taken) return;
  handles.taken = false;
  if (handles.in_console) SetConsoleMode(handles.in, handles.saved_in_mode);
  if (handles.out_console) {
    SetConsoleMode(handles.out, handles.saved_out_mode);
    if (handles.saved_code_page != 0) SetConsoleOutputCP(handles.saved_code_page);
  }
}

bool StdStreamWaitInput(uint32_t timeout_ms) {
  if (handles.pump != nullptr)
    return WaitForSingleObject(handles.pump->ready, timeout_ms) == WAIT_OBJECT_0;
  if (!handles.in_console) return true;  // a file: the read says what
  const DWORD start = GetTickCount();
  for (;;) {
    if (ConsoleKeyWaiting()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeout_ms) return false;
    WaitForSingleObject(handles.in, timeout_ms - spent);
  }
}

int32_t StdStreamRead(uint8_t* buffer, int32_t n) {
  if (handles.pump != nullptr) return PumpTake(buffer, n);
  DWORD got = 0;
  if (ReadFile(handles.in, buffer, static_cast<DWORD>(n), &got, nullptr) == 0) {
    last_error = static_cast<int>(GetLastError());
    return last_error == ERROR_BROKEN_PIPE ? kStdStreamEnd : kStdStreamError;
  }
  return got > 0 ? static_cast<int32_t>(got) : kStdStreamEnd;
}

// A pipe or console write takes what it is given: there is no room to wait for.
bool StdStreamWaitOutput(uint32_t) { return true; }

int32_t StdStreamWrite(const uint8_t* bytes, int32_t n) {
  DWORD written = 0;
  if (WriteFile(handles.out, bytes, static_cast<DWORD>(n), &written, nullptr) == 0) {
    last_error = static_cast<int>(GetLastError());
    return kStdStreamError;
  }
  return static_cast<int32_t>(written);
}

// A Windows pipe cannot say from its writing end what is still unread, and a console keeps what it
// is given: nothing to wait for.
void StdStreamWaitTaken(uint32_t) {}

int StdStreamLastError() { return last_error; }

// The pump's event is set exactly while it holds bytes or the end; a console's mixed records cannot
// be waited on for key presses alone.
WaitSource StdStreamWaitSource() {
  if (handles.pump == nullptr) return {wsPolled, -1};
  return {wsHandle, reinterpret_cast<intptr_t>(handles.pump->ready)};
}

void StdStreamsGuard() {}
