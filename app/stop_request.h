// A request to end the program from outside the keyboard: a stop signal, the window's close
// button, the end of the Windows session. The loops read it and wind down as for ESC.
#pragma once

// Raises the request; safe in a signal handler and on any thread.
void request_stop();

// Whether an end was requested.
bool stop_requested();
