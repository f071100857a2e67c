// Signals and the close button only raise a flag; the loops do the ending, so the library's
// shutdown still writes the bindings.
#include "app/stop_request.h"

#include <array>

volatile std::sig_atomic_t stop_requested = 0;

namespace {

extern "C" void on_stop_signal(int /*signal*/) {
  stop_requested = 1;
}

}  // namespace

void install_stop_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (const int signal : std::array{SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void request_stop_from_close_button() {
  stop_requested = 1;
}
