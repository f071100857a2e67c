// The calls of the program's shell that differ between systems; one file per system implements
// them (platform_posix.cc: signals and X11).
#pragma once

#include <csignal>

// Requests to end the program from outside the window (SIGINT, SIGTERM, SIGHUP) set flag. Call
// after the library is installed, which puts its own handlers on some of these signals.
void install_stop_requests(volatile std::sig_atomic_t &flag);

// From here on requests to end wait unanswered until the process ends: the library's own exit
// puts back the default action of SIGINT and SIGTERM, which would end a program winding down
// with the signal's status.
void block_stop_requests();

// Once the library has opened the display: on its loss, on_loss runs once, on the thread that
// noticed it, and must end the process (with _exit: the library's shutdown would talk to the
// dead display and crash or hang).
void watch_display_loss(void (*on_loss)());
