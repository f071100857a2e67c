// A request to end the program from outside the keyboard: a signal or the window's close button.
#pragma once

#include <csignal>

// Set asynchronously; the main loop and the capture's wait test it and wind down as for ESC.
extern volatile std::sig_atomic_t stop_requested;

// SIGINT, SIGTERM and SIGHUP set the flag. Call after the library is installed, which
// puts its own handlers on some of these signals.
void install_stop_handlers();

// From here on the stop signals wait unanswered until the process ends: the library's own exit
// puts back the default action of SIGINT and SIGTERM, which would end a winding-down program
// with the signal's status.
void block_stop_signals();

// The library's close-button callback: sets the flag, nothing more.
void request_stop_from_close_button();
