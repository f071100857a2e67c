// brumo-setup's entry: starts the library, opens the screen, checks the binding file and runs
// the menu loop until ESC, a signal or the window's close button.
#include <allegro.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/messages.h"
#include "app/platform.h"
#include "app/screen.h"
#include "app/stop_request.h"
#include "bindings/capture.h"
#include "storage/binding_store.h"

namespace {

// The capture under way, or one whose save has not finished. A global only because the
// display-loss hook, on whichever thread notices the loss, must reach it.
taken_keys taken;

// A refusal: its line on stderr, the same in a message box where the library is started
// (message_box) and someone is there to close it (after a stop request nobody may be), status 1.
[[noreturn]] void refuse(const std::string &reason, bool message_box = true) {
  const std::string line = "brumo-setup: " + reason;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (message_box && !stop_requested()) {
    // The message box needs the text mode. Stop requests still reach the program while the box
    // is up, and close it.
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    show_message_box(line);
  }
  block_stop_requests();
  std::exit(1);
}

// Saves what the capture took, once: a save that finds nothing waiting writes nothing.
file_verdict save_taken(taken_keys &keys) {
  const int player = keys.player;
  if (player < 0) return {};
  key_codes codes{};
  for (std::size_t action = 0; action < codes.size(); ++action) codes[action] = keys.codes[action];
  const file_verdict verdict = save_keys(player, codes);
  if (verdict.problem == file_ok) keys.player = -1;
  return verdict;
}

// Runs on the thread that noticed the loss, maybe while the main loop is checking or saving the
// file: the store lets one check or save run at a time, a check writes nothing, and a second
// save of the same keys finds them on disk and writes nothing. No message box, no shutdown.
void on_display_lost() {
  std::fprintf(stderr, "brumo-setup: %s\n", describe_display_loss(save_taken(taken)).c_str());
  _exit(1);
}

void start_up() {
  if (allegro_init() != 0)
    refuse(
        describe(display_description().empty() ? no_display : library_not_started, allegro_error),
        false);
  install_stop_requests();
  watch_display_loss(on_display_lost);
  const file_verdict verdict = open_binding_store();
  if (verdict.problem != file_ok) refuse(describe(verdict));
  if (install_timer() != 0) refuse(describe(timer_not_installed, allegro_error));
  if (install_keyboard() != 0) refuse(describe(keyboard_not_installed, allegro_error));
  install_key_presses();
  repeat_held_keys_as_presses();
  // Installed like the rest of the input but never shown nor read: a missing mouse stops nothing.
  install_mouse();
  set_window_title("Brumo vs Tuk");
  set_close_button_callback(request_stop);
  set_color_depth(16);
  if (!open_screen()) refuse(describe(screen_not_opened, allegro_error));
}

// The menu, in blue on black, shown once each time it comes (at the start, after each capture).
void show_menu() {
  const int blue = makecol(0, 0, 255);
  clear_bitmap(picture);
  // Background 0 is the library's default text mode: each cell opaque black. The row at y = 20
  // stays empty between the heading and the choices.
  textout_ex(picture, font, "Brumo vs Tuk", 10, 0, blue, 0);
  textout_ex(picture, font, "CONFIGURACION", 10, 10, blue, 0);
  textout_ex(picture, font, "1-   Configurar teclas jugador 1", 10, 30, blue, 0);
  textout_ex(picture, font, "2-   Configurar teclas jugador 2", 10, 40, blue, 0);
  textout_ex(picture, font, "ESC- Salir", 10, 50, blue, 0);
  show_picture();
}

// A hotkey's capture, top-down: the file is checked again first, as another program may have
// changed it; the keys are saved as soon as the seventh is taken (or what was taken, on a stop
// request), before the list shows complete; then the closing key.
void run_capture(int player) {
  if (stop_requested()) return;
  const file_verdict checked = check_before_capture(player);
  if (checked.problem != file_ok) refuse(describe(checked));
  const bool complete = capture_player_keys(player, taken);
  const file_verdict saved = save_taken(taken);
  if (saved.problem != file_ok) refuse(describe(saved));
  if (complete) finish_capture(taken);
  show_menu();
}

// Returns at the next retrace. Where the retrace wait returns at once (Wine, some drivers), the
// retraces the library's timer counts still pace the loop; where it waits, the count has moved
// on already.
void wait_for_retrace() {
  const int last_retrace = retrace_count;
  vsync();
  while (retrace_count == last_retrace) rest(1);
}

}  // namespace

int main() {
  start_up();
  show_menu();
  char held[2] = {};  // the hotkeys 1 and 2
  // The keys are looked at once per retrace; the window keeps the menu shown meanwhile.
  while (key[KEY_ESC] == 0 && !stop_requested()) {
    hotkey_step(key, held[0], held[1], run_capture);
    wait_for_retrace();
  }
  // Every capture is on disk already.
  block_stop_requests();
  return 0;
}
END_OF_MAIN()
