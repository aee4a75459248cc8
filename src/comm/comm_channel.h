// The caller's connection: the channel class family, with its operations in a fixed order, and the
// byte queues, locks, events and I/O threads that every channel class uses the same way.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "comm/byte_queue.h"
#include "comm/channel.h"
#include "runtime/threads.h"
#include "runtime/waiter.h"

class CommChannel;

// A request event that also sets the channel's any-request event, on which a channel with one
// thread for both directions sleeps.
class RequestEvent : public SyncEvent {
 public:
  explicit RequestEvent(SyncEvent* also) : also_(also) {}
  void Set() {
    SyncEvent::Set();
    also_->Set();
  }

 private:
  SyncEvent* also_;
};

// What an I/O thread runs (ReaderProc, WriterProc); it is given the channel that started it.
using ChannelThreadProc = void (*)(CommChannel& channel);
using ChannelIdleProc = void (*)();

class CommChannel {
 public:
  CommChannel() = default;
  virtual ~CommChannel() = default;
  CommChannel(const CommChannel&) = delete;
  CommChannel& operator=(const CommChannel&) = delete;

  // The operations, in their slot order.
  virtual void Attach(int32_t handle) = 0;
  virtual bool OpenPort(uint8_t port, int32_t baud, uint8_t data_bits, char parity,
                        uint8_t stop_bits) = 0;
  virtual bool Open(uint8_t port) = 0;
  virtual void GetStatus(uint8_t& line_status, uint8_t& modem_status) = 0;
  virtual void SetLine(int32_t baud, char parity, uint8_t data_bits, uint8_t stop_bits) = 0;
  virtual int32_t GetBaud() = 0;
  virtual void GetBufferStatus(int32_t& in_free, int32_t& out_free, int32_t& in_used,
                               int32_t& out_used);
  virtual void SetDtr(bool raise) = 0;
  // True when InQueue holds a byte; with it empty, wakes the reader when LineHasInput.
  virtual bool CharReady();
  virtual bool Carrier() = 0;
  virtual bool CanWrite(int32_t count);
  virtual char ReadChar();
  virtual bool WriteChar(char ch);
  virtual void GetLineError(uint8_t& code);
  virtual int32_t Handle() = 0;
  virtual bool Ok();
  virtual void Close() = 0;
  virtual void WriteBlock(const void* buffer, int32_t count, int32_t& written);
  virtual void PutBlock(const void* buffer, int32_t count, int32_t& written);
  virtual void ReadBlock(void* buffer, int32_t count, int32_t& read);
  virtual void PurgeOutput();
  virtual void PurgeInput();
  virtual void Deactivate(bool close_too);
  virtual void Activate(bool reopen) = 0;
  virtual void DrainOutput(ChannelIdleProc idle);
  virtual void WriteString(std::string_view text);
  virtual void SetFlowControl(bool xon_out, bool xon_in, bool hardware);
  void SetThreadProcs(ChannelThreadProc reader, ChannelThreadProc writer);

  // What the key wait may sleep on for this caller's input. Nothing while a request to the reading
  // side is still pending: its step wakes the key wait when done.
  WaitSource MainWaitSource();
  // Waits up to max_ms for fewer than bytes to be left in OutQueue, for the caller to go, or for a
  // second in which the line took nothing; false when the time ran out first. Sleeps on the
  // writer's steps, never on a timer of its own.
  bool WaitOutputBelow(int32_t bytes, uint32_t max_ms);
  // The door library's checks, asked by WriteBlock each time its wait for room wakes.
  void SetRoomWait(ChannelRoomWaitProc proc) { room_wait_ = proc; }
  // Whether the line has taken no byte of the output waiting in OutQueue for kOutputStallMs, by the
  // time of day (the session's clock). A caller who reads nothing at all counts as gone: once true,
  // it stays true. Main thread only.
  bool OutputStalled();
  // Whether an I/O thread has seen the caller go (the key wait then checks the carrier soon).
  bool LineLostSeen() const { return line_lost_; }

  // The loops that ReaderProc and WriterProc run. The reader sleeps until the main thread asks for
  // input, then takes one ReceiveStep; the writer sleeps until output is queued, then takes one
  // SendStep once the line can take bytes. A class whose one thread serves both directions
  // (writer_thread_ false) runs both steps in its own ReadingLoop.
  virtual void ReadingLoop();
  void WritingLoop();

  // The I/O threads, queues, locks and events; false when they are running already or any of
  // them could not be made.
  bool StartThreads();
  // Wakes the threads, waits for each to end, frees what StartThreads made. Safe to call twice.
  void StopThreads();

  std::atomic<bool> ErrorFlag{false};
  std::string LastError();
  bool Started() const { return started_; }
  // Bytes waiting in the queues (0 when the threads are stopped).
  int32_t InUsed();
  int32_t OutUsed();

 protected:
  // Whether the line itself (driver, socket, library) has received bytes; asked only while InQueue
  // is empty, so the reading thread is woken only when there is something to read.
  virtual bool LineHasInput() { return false; }
  // The line's own waitable input (socket, descriptor, event), while the caller is there.
  // A class that cannot say is looked at in short slices.
  virtual WaitSource LineWaitSource() { return {wsPolled, -1}; }
  // An I/O thread finished a receive step: ReadBlock and the key wait look again.
  void ReceiveDone();
  // An I/O thread finished a send step: WriteBlock and the closing drain look again.
  void SendDone();
  // The caller is gone: every wait of the main thread looks at Carrier now.
  void LineLost();
  void SetLastError(std::string text);
  // "text #number / system text", cut to 255 characters.
  void SetSystemError(std::string_view text, int error);

  // What one reading step of a two-thread channel fills: at most this, and only while the main
  // thread has asked (CharReady, ReadBlock, Carrier).
  virtual void ReceiveStep() {}
  // Hands the line what OutQueue holds (under OutLock); what the line does not take stays queued
  // for the next step.
  void SendStep();
  // The line's part of a send step: gives how many of the bytes went (dropped ones count as gone),
  // or kNothingSent, which leaves them all queued with no send done; for another step then, the
  // class sets OutRequest itself.
  virtual int32_t SendChunk(const uint8_t* bytes, int32_t count) = 0;
  // Waits up to wait_ms, outside OutLock, for the line to take bytes: a caller who reads nothing
  // fills it, and the main thread can still queue what fits meanwhile. False skips this step.
  virtual bool LineWritable(uint32_t /*wait_ms*/) { return true; }

  static constexpr int32_t kReceiveStep = 1'024;
  static constexpr uint32_t kThreadWaitMs = 5'000;
  static constexpr uint32_t kStopWaitMs = 1'000;
  static constexpr int32_t kNothingSent = -1;
  // A writer whose line takes nothing waits in slices of this, so it still sees Terminating.
  static constexpr uint32_t kWritableWaitMs = 100;
  // The main thread's waits for queue room or bytes look at Carrier at least this often.
  static constexpr uint32_t kBlockWaitMs = 100;
  // A line that takes no byte of the waiting output for this long has lost its caller. Far above
  // any pause of a working line (a 300-baud modem takes a byte every 33 ms), and below the door's
  // idle limit, which a door stuck writing would reach otherwise, since it reads no keys then.
  static constexpr int32_t kOutputStallMs = 120'000;
  // The closing drain gives up on a line that takes nothing for this long.
  static constexpr uint32_t kDrainStallMs = 1'000;

  std::atomic<bool> terminating_{false};
  std::atomic<bool> line_lost_{false};
  bool started_ = false;
  std::unique_ptr<ByteQueue> in_queue_, out_queue_;
  CritLock in_lock_, out_lock_;
  // Set with either request event (made before them, destroyed after them).
  std::unique_ptr<SyncEvent> any_request_;
  std::unique_ptr<RequestEvent> out_request_, in_poll_;
  std::unique_ptr<SyncEvent> reader_stopped_, writer_stopped_;
  // Set after each receive step that brought bytes, and after each send step.
  std::unique_ptr<SyncEvent> received_, sent_;
  // False for a class whose one thread serves both directions: StartThreads starts only the
  // reader procedure.
  bool writer_thread_ = true;

 private:
  static void RunReader(void* channel);
  static void RunWriter(void* channel);
  // Sleeps until OutQueue has room for bytes, the caller goes, the line stalls or the room-wait
  // procedure says stop; wakes for each send step, a lost line and a signal (WaitWake) and asks that
  // procedure each time.
  void WaitForRoom(int32_t bytes);

  ChannelRoomWaitProc room_wait_ = nullptr;
  // WaitForRoom is asleep: a send step wakes it through WaitWake, like a signal does.
  std::atomic<bool> awaiting_room_{false};
  // Bytes WriteBlock ever queued: less what OutQueue holds, that is what the line has taken.
  int64_t queued_total_ = 0;
  // The stall watch: the bytes taken at its start, its start (time of day), whether it runs (output
  // was waiting at the last look) and whether the line was found stalled.
  int64_t watched_taken_ = 0;
  int32_t watch_start_ms_ = 0;
  bool watching_ = false;
  bool stalled_ = false;

  ChannelThreadProc reader_proc_ = nullptr;
  ChannelThreadProc writer_proc_ = nullptr;
  WorkerThread reader_, writer_;
  std::mutex error_guard_;
  std::string last_error_;
};

// The shape the telnet and DOOR32 classes share: a reading and a writing thread, no modem lines and
// a fixed speed.
class NetworkChannel : public CommChannel {
 public:
  static constexpr int32_t kBaud = 115'200;

  // Modem status 0x88 (carrier detect and the delta bit) while the caller is there, else 0x08.
  void GetStatus(uint8_t& line_status, uint8_t& modem_status) override;
  void SetLine(int32_t, char, uint8_t, uint8_t) override {}
  int32_t GetBaud() override { return kBaud; }
  // Wakes both threads, then reports the queues.
  void GetBufferStatus(int32_t& in_free, int32_t& out_free, int32_t& in_used,
                       int32_t& out_used) override;
  // Dropping DTR hangs up: Close.
  void SetDtr(bool raise) override;
  // reopen: Open(0); otherwise the threads only.
  void Activate(bool reopen) override;
};
