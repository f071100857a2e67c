// brumo-setup's entry: starts the library, opens the 320x240 screen, attaches the binding
// file and runs the menu loop until ESC, a signal or the window's close button.
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/menu.h"
#include "app/stop_request.h"
#include "bindings/binding_file.h"
#include "bindings/capture.h"
#include "bindings/file_check.h"
#include "bindings/hotkeys.h"

namespace {

bool library_started = false;

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

// Every start-up failure ends here, before the binding file is attached, so it is left as it was.
[[noreturn]] void fail(const std::string &reason) {
  const std::string line = "brumo-setup: " + reason;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (library_started) {
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
  // Before the library opens the file: it would block on a FIFO, mangle text that is not
  // UTF-8, or lose the bindings at exit on a file it cannot write.
  const file_verdict verdict = check_binding_file(binding_file_name);
  if (verdict.problem != file_ok) fail(describe_verdict(verdict, binding_file_name));
  if (install_timer() != 0) fail("no se pudo instalar el temporizador" + library_detail());
  if (install_keyboard() != 0) fail("no se pudo instalar el teclado" + library_detail());
  install_capture_keyboard();
  // Installed with the rest of the library's input, but never shown nor read: a missing mouse
  // is no reason to stop.
  install_mouse();
  set_window_title("Brumo vs Tuk");
  set_close_button_callback(request_stop_from_close_button);
  set_color_depth(16);
  if (set_gfx_mode(GFX_AUTODETECT, 320, 240, 0, 0) != 0)
    fail("no se pudo abrir la pantalla de 320x240 en color de 16 bits" + library_detail());
  set_config_file(binding_file_name);
}

}  // namespace

int main() {
  start_up();
  char key1_held = 0;
  char key2_held = 0;
  while (key[KEY_ESC] == 0 && stop_requested == 0) {
    hotkey_step(key, key1_held, key2_held, configure_player_keys);
    draw_menu();
  }
  // Returning runs the library's shutdown, which writes the bindings set in this run.
  return 0;
}
END_OF_MAIN()
