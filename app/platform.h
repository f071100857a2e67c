// The calls of the program's shell that differ between systems; one file per system implements
// them (platform_posix.cc: signals and X11; platform_windows.cc).
#pragma once

#include <string>

// Whether the system names no display to open the window on (DISPLAY unset, on X11).
bool display_missing();

// The display the library was to start on, as a refusal names it: "la pantalla DISPLAY=:0".
std::string display_description();

// line as the system's message box is to show it: broken into lines of at most 60 columns for
// xmessage, which sizes itself to the text; whole for Windows' box, which wraps it itself.
std::string message_box_text(const std::string &line);

// Shows line in the system's message box until it is closed, or until a stop is requested, which
// closes it too. The library must be in its text mode.
void show_message_box(const std::string &line);

// Requests to end the program from outside the window raise the stop request: SIGINT, SIGTERM
// and SIGHUP on POSIX, the end of the session on Windows. Call after the library is installed,
// which puts its own handlers on some of these signals.
void install_stop_requests();

// From here on requests to end wait unanswered until the process ends: the library's own exit
// puts back the default action of SIGINT and SIGTERM, which would end a program winding down
// with the signal's status.
void block_stop_requests();

// Once the library has opened the display: on its loss, on_loss runs once, on the thread that
// noticed it, and must end the process (with _exit: the library's shutdown would talk to the
// dead display and crash or hang).
void watch_display_loss(void (*on_loss)());

// Once the library has opened the display: a held key repeats as presses alone (X11 sends a
// release and a press, which the library now and then hands over apart: the key binds again).
void repeat_held_keys_as_presses();
