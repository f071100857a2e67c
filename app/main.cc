// brumo-setup's entry: starts the library, opens the 320x240 screen, checks the binding file
// and runs the menu loop until ESC, a signal or the window's close button.
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "app/display_loss.h"
#include "app/menu.h"
#include "app/stop_request.h"
#include "bindings/binding_store.h"
#include "bindings/capture.h"
#include "bindings/hotkeys.h"
#include "bindings/key_presses.h"

namespace {

bool library_started = false;
// The capture under way, or one whose save has not finished.
taken_keys taken;

// The message box sizes itself to the text: one long line would hide the reason off screen.
std::string wrapped(const std::string &line) {
  constexpr std::size_t width = 60;
  std::string text;
  std::size_t column = 0;
  std::size_t start = 0;
  while (start < line.size()) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    const std::size_t length = end - start;
    if (column > 0 && column + 1 + length > width) {
      text += '\n';
      column = 0;
    } else if (column > 0) {
      text += ' ';
      ++column;
    }
    text.append(line, start, length);
    column += length;
    start = end + 1;
  }
  return text;
}

// Every refusal ends here, at start or later, with the bindings saved so far kept.
[[noreturn]] void fail(const std::string &reason) {
  block_stop_signals();
  const std::string line = "brumo-setup: " + reason;
  std::fprintf(stderr, "%s\n", line.c_str());
  // After a stop request nobody may be there to click the box away.
  if (library_started && stop_requested == 0) {
    // The message box needs the text mode; the library shows it as the platform can.
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_message("%s\n", wrapped(line).c_str());
  }
  std::exit(1);
}

// The library's own words, when it left any.
std::string library_detail() {
  return allegro_error[0] != '\0' ? std::string(": ") + allegro_error : std::string();
}

// On whichever thread noticed: saves what the capture took, then ends without the library's
// shutdown, which would talk to the dead display. No message box: there is no screen for it.
// Saves what the capture took, once: a save that finds nothing waiting writes nothing.
std::string save_taken(taken_keys &keys) {
  const int player = keys.player;
  if (player < 0) return {};
  key_codes codes{};
  for (std::size_t action = 0; action < codes.size(); ++action) codes[action] = keys.codes[action];
  std::string reason = save_keys(player, codes);
  if (reason.empty()) keys.player = -1;
  return reason;
}

void on_display_lost() {
  const std::string reason = save_taken(taken);
  const std::string line =
      "brumo-setup: se perdio la conexion con la pantalla; " +
      (reason.empty() ? std::string("las teclas tomadas estan guardadas") : reason);
  std::fprintf(stderr, "%s\n", line.c_str());
  _exit(1);
}

void start_up() {
  if (allegro_init() != 0) {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0')
      fail(
          "no hay pantalla grafica: DISPLAY no esta definida; ejecute el programa desde un "
          "escritorio" +
          library_detail());
    fail(std::string("no se pudo iniciar la biblioteca Allegro en la pantalla DISPLAY=") + display +
         library_detail());
  }
  library_started = true;
  install_stop_handlers();
  watch_display_loss(on_display_lost);
  // A save refused for its size must not kill the program half-way through the file.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::string refusal = open_binding_store();
  if (!refusal.empty()) fail(refusal);
  if (install_timer() != 0) fail("no se pudo instalar el temporizador" + library_detail());
  if (install_keyboard() != 0) fail("no se pudo instalar el teclado" + library_detail());
  install_key_presses();
  // Installed with the rest of the library's input, but never shown nor read: a missing mouse
  // is no reason to stop.
  install_mouse();
  set_window_title("Brumo vs Tuk");
  set_close_button_callback(request_stop_from_close_button);
  set_color_depth(16);
  // A window where the desktop can make one: full screen would grab the keyboard and change
  // the display's mode.
  if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 320, 240, 0, 0) != 0 &&
      set_gfx_mode(GFX_AUTODETECT, 320, 240, 0, 0) != 0)
    fail("no se pudo abrir la pantalla de 320x240 en color de 16 bits" + library_detail());
}

void save_or_fail(taken_keys &keys) {
  const std::string reason = save_taken(keys);
  if (!reason.empty()) fail(reason);
}

// A hotkey's capture: the file is checked again first, as another program may have changed
// it, and saved as soon as the seventh key is taken (or what was taken, on a stop request).
void run_capture(int player) {
  if (stop_requested != 0) return;
  const std::string refusal = check_before_capture(player);
  if (!refusal.empty()) fail(refusal);
  capture_player_keys(player, taken, stop_requested, save_or_fail);
  save_or_fail(taken);
  wait_for_closing_key(stop_requested);
}

}  // namespace

int main() {
  start_up();
  char key1_held = 0;
  char key2_held = 0;
  while (key[KEY_ESC] == 0 && stop_requested == 0) {
    hotkey_step(key, key1_held, key2_held, run_capture);
    draw_menu();
  }
  // Every capture is on disk already.
  block_stop_signals();
  return 0;
}
END_OF_MAIN()
