// A request to end the program from outside the keyboard: a stop signal, the window's close
// button, the end of the Windows session. The loops read it and wind down as for ESC, so the
// keys taken are saved and the program ends with status 0.
#pragma once

#include <atomic>

// Atomic, not a volatile flag: the capture relies on a press queued before the request being in
// the queue once it sees the request. Lock-free, so a signal handler may set it.
inline std::atomic<int> stop_request_raised{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Raises the request; safe in a signal handler and on any thread.
inline void request_stop() {
  stop_request_raised = 1;
}

inline bool stop_requested() {
  return stop_request_raised != 0;
}
