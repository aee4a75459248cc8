#include <csignal>

#include "runtime/signals.h"
#include "runtime/waiter.h"

namespace {

volatile sig_atomic_t hangup_signalled = 0;

// The key wait may be asleep: wake it to end the session now.
void OnHangup(int) {
  hangup_signalled = 1;
  WaitWake();
}

}  // namespace

void HangupSignalsDefer() {
  struct sigaction action{};
  sigemptyset(&action.sa_mask);
  action.sa_handler = &OnHangup;
  action.sa_flags = SA_RESTART;  // a record being written is finished, not cut short
  sigaction(SIGHUP, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool HangupSignalled() { return hangup_signalled != 0; }

void HangupNote() { hangup_signalled = 1; }

void HangupForget() { hangup_signalled = 0; }

void FileSizeSignalIgnore() { std::signal(SIGXFSZ, SIG_IGN); }
