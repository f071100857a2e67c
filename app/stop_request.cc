// Signals and the close button only raise a flag; the loops do the ending, so the keys taken
// are saved and the program ends with status 0.
#include "app/stop_request.h"

volatile std::sig_atomic_t stop_requested = 0;

void request_stop_from_close_button() {
  stop_requested = 1;
}
