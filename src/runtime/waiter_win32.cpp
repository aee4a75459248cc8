// The main thread's wait on Windows: WaitForMultipleObjects over a wake event, the console's input
// and the caller's line (a socket through a network event, or a HANDLE the line gave).
#include <winsock2.h>
#include <windows.h>

#include "runtime/console.h"
#include "runtime/waiter.h"

namespace {

// Auto-reset: one wait consumes one wake.
HANDLE wake_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
WSAEVENT socket_event = WSA_INVALID_EVENT;
SOCKET selected_socket = INVALID_SOCKET;

// A socket cannot be waited on itself: its reads and closes are routed to an event.
HANDLE SocketEvent(int64_t socket) {
  const auto native = static_cast<SOCKET>(static_cast<uint64_t>(socket));
  if (socket_event == WSA_INVALID_EVENT) socket_event = WSACreateEvent();
  if (socket_event == WSA_INVALID_EVENT) return nullptr;
  if (selected_socket != native) {
    // A signal the last socket left (Wine gives one for a select before a recv) is none of this
    // one's; bytes this one holds already signal the event again at once.
    WSAResetEvent(socket_event);
    if (WSAEventSelect(native, socket_event, FD_READ | FD_CLOSE) != 0) return nullptr;
    selected_socket = native;
  }
  return socket_event;
}

// The console's input handle is signalled by mouse, focus and key-release records too, which no
// key read takes away: drop them, so they do not end every wait. True when a key press is there.
bool ConsoleHasKeyPress(HANDLE input) {
  INPUT_RECORD records[32];
  DWORD n = 0;
  if (PeekConsoleInputA(input, records, 32, &n) == 0) return true;
  for (DWORD i = 0; i < n; ++i)
    if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown) return true;
  if (n > 0) ReadConsoleInputA(input, records, n, &n);
  return false;
}

}  // namespace

void WaitForgetWake() { WaitForSingleObject(wake_event, 0); }

void WaitWake() {
  if (wake_event != nullptr) SetEvent(wake_event);
}

WaitOutcome WaitForInput(bool keyboard, WaitSource source, uint32_t timeout_ms) {
  HANDLE handles[3];
  DWORD n = 0;
  if (wake_event != nullptr) handles[n++] = wake_event;
  HANDLE console = nullptr;
  if (keyboard && ConsoleCurrentMode() == cmWin32) {
    console = GetStdHandle(STD_INPUT_HANDLE);
    handles[n++] = console;
  }
  HANDLE line = nullptr;
  if (source.kind == wsSocket) line = SocketEvent(source.handle);
  if (source.kind == wsHandle) line = reinterpret_cast<HANDLE>(static_cast<intptr_t>(source.handle));
  // A line that cannot be waited on is looked at in slices.
  if ((source.kind == wsPolled || (source.kind != wsNone && line == nullptr)) &&
      timeout_ms > kPolledSliceMs)
    timeout_ms = kPolledSliceMs;
  if (line != nullptr) handles[n++] = line;
  if (n == 0) {
    Sleep(timeout_ms);
    return woTimeout;
  }
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    const DWORD left = spent >= timeout_ms ? 0 : timeout_ms - spent;
    const DWORD r = WaitForMultipleObjects(n, handles, FALSE, left);
    if (r == WAIT_TIMEOUT || r == WAIT_FAILED) return woTimeout;
    const HANDLE ready = handles[r - WAIT_OBJECT_0];
    if (ready == socket_event) WSAResetEvent(socket_event);  // recv arms it again
    if (ready != console || ConsoleHasKeyPress(console)) return woReady;
    if (left == 0) return woTimeout;
  }
}

// WSAEventSelect made the socket non-blocking; the BBS gets it back blocking, as it gave it.
void WaitForgetSocket(int64_t socket) {
  const auto native = static_cast<SOCKET>(static_cast<uint64_t>(socket));
  if (native != selected_socket) return;
  WSAEventSelect(native, nullptr, 0);
  WSAResetEvent(socket_event);
  u_long blocking = 0;
  ioctlsocket(native, FIONBIO, &blocking);
  selected_socket = INVALID_SOCKET;
}

WaitSource SerialPortWaitSource(int64_t) { return {wsPolled, -1}; }
