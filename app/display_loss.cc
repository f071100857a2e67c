// Xlib reports a lost connection to its I/O error handler and exits when it returns; the
// library's exit handlers then use the dead connection. The handler here never returns.
#include "app/display_loss.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>

namespace {

void (*loss_action)() = nullptr;
std::atomic_flag noticed = ATOMIC_FLAG_INIT;

int on_io_error(Display* /*display*/) {
  // The library's other threads notice too; the first one ends the process.
  if (!noticed.test_and_set()) loss_action();
  for (;;) pause();
}

}  // namespace

void watch_display_loss(void (*on_loss)()) {
  loss_action = on_loss;
  XSetIOErrorHandler(on_io_error);
}
