#include <csignal>

#include "runtime/signals.h"

namespace {

volatile sig_atomic_t hangup_signalled = 0;

void OnHangup(int) { hangup_signalled = 1; }

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
