// The shell on Windows: a GUI program gets no signals; the end of the session reaches it as
// window messages, through the library's hook on its window.
#include <allegro.h>
#include <winalleg.h>

#include "app/platform.h"
#include "app/stop_request.h"

namespace {

// On the library's window thread, before its own handling, which a result of 0 skips. Logoff or
// shutdown ends the process once WM_ENDSESSION is answered: the main loop gets that long to save
// the keys taken.
int on_window_message(HWND /*window*/, UINT message, WPARAM ending, LPARAM /*detail*/,
                      int *answer) {
  if (message == WM_QUERYENDSESSION) {
    request_stop();
    *answer = TRUE;
    return 0;
  }
  if (message == WM_ENDSESSION && ending != 0) {
    request_stop();
    Sleep(3000);
    *answer = 0;
    return 0;
  }
  return 1;
}

}  // namespace

bool display_missing() {
  return false;
}

std::string display_description() {
  return "el escritorio de Windows";
}

std::string message_box_text(const std::string &line) {
  return line;
}

// The end of the session closes the box with the program.
void show_message_box(const std::string &line) {
  allegro_message("%s\n", message_box_text(line).c_str());
}

void install_stop_requests() {
  win_set_msg_pre_proc(on_window_message);
}

void block_stop_requests() {}

void watch_display_loss(void (* /*on_loss*/)()) {}

// DirectInput reports a held key once.
void repeat_held_keys_as_presses() {}
