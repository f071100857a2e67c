// A request to end the program from outside the keyboard: a signal or the window's close button.
#pragma once

#include <csignal>

// Set asynchronously; the main loop and the capture's wait test it and wind down as for ESC.
extern volatile std::sig_atomic_t stop_requested;

// The library's close-button callback: sets the flag, nothing more.
void request_stop_from_close_button();
