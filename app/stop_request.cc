// The one stop request: raised from handlers, read by the loops, which do the ending, so the
// keys taken are saved and the program ends with status 0.
#include "app/stop_request.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t requested = 0;

}  // namespace

void request_stop() {
  requested = 1;
}

bool stop_requested() {
  return requested != 0;
}
