// The -S channel on Windows, in process: the standard handles are put on pipes or on a socket (as a
// BBS may hand one over for both), and the test plays the caller on their other ends. The C
// runtime's own stdout, where the test's report goes, keeps the handle it started with.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "comm/channel.h"
#include "comm/stdio.h"
#include "fakes/wait_until.h"
#include "runtime/sockets.h"
#include "runtime/waiter.h"

namespace {

using Bytes = std::string;
constexpr uint32_t kFailAfterMs = 10'000;

// The door's standard handles on one kind of line for the life of the object; the caller's ends
// with it.
class CallerLine {
 public:
  explicit CallerLine(bool socket) : socket_(socket) {
    saved_in_ = GetStdHandle(STD_INPUT_HANDLE);
    saved_out_ = GetStdHandle(STD_OUTPUT_HANDLE);
    if (socket_) {
      SOCKET door = INVALID_SOCKET, caller = INVALID_SOCKET;
      if (!SynchronousPair(door, caller)) return;
      door_in_ = door_out_ = reinterpret_cast<HANDLE>(door);
      caller_in_ = caller_out_ = reinterpret_cast<HANDLE>(caller);
    } else if (!CreatePipe(&door_in_, &caller_in_, nullptr, 0) ||
               !CreatePipe(&caller_out_, &door_out_, nullptr, 0)) {
      return;
    }
    SetStdHandle(STD_INPUT_HANDLE, door_in_);
    SetStdHandle(STD_OUTPUT_HANDLE, door_out_);
    ok_ = true;
  }
  ~CallerLine() {
    SetStdHandle(STD_INPUT_HANDLE, saved_in_);
    SetStdHandle(STD_OUTPUT_HANDLE, saved_out_);
    EndInput();  // the door's reading thread ends on it before its handle goes
    if (socket_) {
      SocketClose(Socket(door_in_));
      SocketClose(Socket(caller_out_));
    } else {
      CloseHandle(door_in_);
      CloseHandle(door_out_);
      CloseHandle(caller_out_);
    }
  }
  bool ok() const { return ok_; }

  void Send(const Bytes& bytes) {
    if (socket_) {
      ASSERT_EQ(SocketSend(Socket(caller_in_), bytes.data(), static_cast<int>(bytes.size())),
                static_cast<int>(bytes.size()));
      return;
    }
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(caller_in_, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr));
    ASSERT_EQ(written, bytes.size());
  }
  // What the caller gets until it holds n bytes (or the wait gives up).
  Bytes Receive(size_t n) {
    Bytes got;
    char buffer[4096];
    WaitUntil([&] {
      while (got.size() < n) {
        const int r = Read(buffer, static_cast<int>(std::min(sizeof buffer, n - got.size())));
        if (r <= 0) break;
        got.append(buffer, static_cast<size_t>(r));
      }
      return got.size() >= n;
    });
    return got;
  }
  // The caller's end of the door's input closes (a pipe's writer goes, a socket is shut for
  // sending).
  void EndInput() {
    if (input_ended_) return;
    input_ended_ = true;
    if (socket_)
      shutdown(static_cast<SOCKET>(Socket(caller_in_)), SD_SEND);
    else
      CloseHandle(caller_in_);
  }

 private:
  // Sockets that ReadFile and WriteFile can use without an OVERLAPPED record, as a BBS makes the
  // ones it hands over as standard handles (socket() makes overlapped ones).
  static bool SynchronousPair(SOCKET& door, SOCKET& caller) {
    SocketLibraryStart();
    auto stream = [] { return WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0); };
    SOCKET listener = stream();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    if (listener != INVALID_SOCKET && bind(listener, any, length) == 0 &&
        listen(listener, 1) == 0 && getsockname(listener, any, &length) == 0) {
      caller = stream();
      if (caller != INVALID_SOCKET && connect(caller, any, length) == 0)
        door = accept(listener, nullptr, nullptr);
    }
    if (listener != INVALID_SOCKET) closesocket(listener);
    return door != INVALID_SOCKET;
  }
  static SocketHandle Socket(HANDLE h) {
    return static_cast<SocketHandle>(reinterpret_cast<intptr_t>(h));
  }
  // What has arrived, without waiting.
  int Read(char* buffer, int n) {
    if (socket_) return SocketWait(Socket(caller_out_), false, 0) > 0
                            ? SocketRecv(Socket(caller_out_), buffer, n) : 0;
    DWORD available = 0, got = 0;
    if (!PeekNamedPipe(caller_out_, nullptr, 0, nullptr, &available, nullptr) || available == 0)
      return 0;
    if (!ReadFile(caller_out_, buffer, std::min<DWORD>(available, n), &got, nullptr)) return -1;
    return static_cast<int>(got);
  }

  const bool socket_;
  bool ok_ = false, input_ended_ = false;
  HANDLE saved_in_, saved_out_;
  HANDLE door_in_ = nullptr, door_out_ = nullptr, caller_in_ = nullptr, caller_out_ = nullptr;
};

// A read left waiting on the line would hold the door's end until the caller's next key.
TEST(StdioChannelWin32Test, PipesAndASocketCarryBytesWakeTheKeyWaitAndNeverHoldTheEnd) {
  for (bool socket : {false, true}) {
    SCOPED_TRACE(socket ? "socket" : "pipes");
    CallerLine line(socket);
    ASSERT_TRUE(line.ok());
    {
      StdioChannel channel;
      channel.SetThreadProcs(&ReaderProc, &WriterProc);
      channel.Attach(0);
      ASSERT_TRUE(channel.Ok()) << channel.LastError();
      EXPECT_TRUE(channel.Carrier());
      channel.WriteString(Bytes("\x1b[2Jhi\r\n\xff\x00", 10));
      EXPECT_EQ(line.Receive(10), Bytes("\x1b[2Jhi\r\n\xff\x00", 10));

      ASSERT_TRUE(WaitUntil([&] { return channel.MainWaitSource().kind != wsNone; }));
      EXPECT_EQ(channel.MainWaitSource().kind, wsHandle);
      // Quiet once the reader's last step has woken it (a wake may still be on its way).
      EXPECT_TRUE(WaitUntil(
          [&] { return WaitForInput(false, channel.MainWaitSource(), 0) == woTimeout; }));
      line.Send("k");
      EXPECT_EQ(WaitForInput(false, channel.MainWaitSource(), kFailAfterMs), woReady);
      ASSERT_TRUE(WaitUntil([&] { return channel.CharReady(); }));
      EXPECT_EQ(channel.ReadChar(), 'k');
      EXPECT_FALSE(channel.CharReady());  // asks the line once more: nothing there

      std::atomic<bool> closed{false};
      std::thread closer([&] {
        channel.Close();
        closed = true;
      });
      const bool ended = WaitUntil([&] { return closed.load(); });
      if (!ended) line.Send("x");  // lets a held end go, so the test can report it
      closer.join();
      EXPECT_TRUE(ended) << "the door's end waited for the caller";
    }
    StdioChannel channel;
    channel.SetThreadProcs(&ReaderProc, &WriterProc);
    channel.Attach(0);
    line.Send("z");
    ASSERT_TRUE(WaitUntil([&] { return channel.CharReady(); }));
    EXPECT_EQ(channel.ReadChar(), 'z');
    line.EndInput();
    EXPECT_TRUE(WaitUntil([&] { return !channel.Carrier(); }));
    EXPECT_EQ(channel.LastError().rfind("Error in communications(1), #", 0), 0u)
        << channel.LastError();
    EXPECT_EQ(channel.MainWaitSource().kind, wsNone);
  }
}

}  // namespace
