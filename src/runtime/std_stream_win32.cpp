// Standard input and output on Windows: pipes (a BBS's redirection) or the console itself, whose
// keys come as VT sequences and whose output takes ANSI sequences.
#include <windows.h>

#include <algorithm>

#include "runtime/std_stream.h"

namespace {

constexpr DWORD kPipeSliceMs = 10;

struct StdHandles {
  HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE;
  bool in_console = false, out_console = false;
  DWORD saved_in_mode = 0, saved_out_mode = 0;
  UINT saved_code_page = 0;
  bool taken = false;
};

StdHandles handles;
int last_error = 0;

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

// 1 input waiting (or the pipe broke), 0 none.
bool InputWaiting() {
  if (handles.in_console) return ConsoleKeyWaiting();
  if (GetFileType(handles.in) != FILE_TYPE_PIPE) return true;  // a file: the read says what
  DWORD available = 0;
  if (PeekNamedPipe(handles.in, nullptr, 0, nullptr, &available, nullptr) == 0) return true;
  return available > 0;
}

}  // namespace

void StdStreamTakeOver(bool utf8) {
  if (handles.taken) return;
  handles.taken = true;
  handles.in = GetStdHandle(STD_INPUT_HANDLE);
  handles.out = GetStdHandle(STD_OUTPUT_HANDLE);
  handles.in_console = GetConsoleMode(handles.in, &handles.saved_in_mode) != 0;
  handles.out_console = GetConsoleMode(handles.out, &handles.saved_out_mode) != 0;
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
  const DWORD start = GetTickCount();
  for (;;) {
    if (InputWaiting()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeout_ms) return false;
    if (handles.in_console)
      WaitForSingleObject(handles.in, timeout_ms - spent);
    else
      Sleep(std::min<DWORD>(kPipeSliceMs, timeout_ms - spent));
  }
}

int32_t StdStreamRead(uint8_t* buffer, int32_t n) {
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

int StdStreamLastError() { return last_error; }

// Neither a pipe nor a console's mixed records can be waited on for key bytes alone.
WaitSource StdStreamWaitSource() { return {wsPolled, -1}; }
