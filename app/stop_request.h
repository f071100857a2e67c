// A request to end the program from outside the keyboard: a signal or the window's close button.
#pragma once

#include <csignal>

// Set asynchronously; the main loop and the capture's wait test it and wind down as for ESC.
extern volatile std::sig_atomic_t stop_requested;

// SIGINT, SIGTERM and SIGHUP set the flag. Call after the library is installed, which
// puts its own handlers on some of these signals.
void install_stop_handlers();

// The library's close-button callback: sets the flag, nothing more.
void request_stop_from_close_button();
