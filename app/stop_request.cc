// Signals and the close button only raise a flag; the loops do the ending, so the keys taken
// are saved and the program ends with status 0.
#include "app/stop_request.h"

#include <array>

volatile std::sig_atomic_t stop_requested = 0;

namespace {

extern "C" void on_stop_signal(int /*signal*/) {
  stop_requested = 1;
}

constexpr std::array stop_signals = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (const int signal : stop_signals) sigaction(signal, &action, nullptr);
}

void block_stop_signals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : stop_signals) sigaddset(&signals, signal);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
}

void request_stop_from_close_button() {
  stop_requested = 1;
}
