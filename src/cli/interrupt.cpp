#include "cli/interrupt.h"

#include <signal.h>

#include <atomic>
#include <initializer_list>

namespace wdi::cli {

namespace {

std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

extern "C" void onSignal(int signal) {
  int none = 0;
  received.compare_exchange_strong(none, signal);
}

}  // namespace

void installInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) sigaction(signal, &action, nullptr);
}

int interruptSignal() { return received.load(); }

const char* signalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGPIPE:
      return "SIGPIPE";
    default:
      return "a signal";
  }
}

}  // namespace wdi::cli
