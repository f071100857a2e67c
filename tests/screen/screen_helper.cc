// The on-screen tests' helper. "render" draws the screen the program must show from lines of
// "x y text" on stdin, with the library's own font, as raw 320x240 RGB on stdout. "keys" opens
// a window and prints the file number and name of each key a game's key[] sees going down.
// "grab" succeeds when it can grab the keyboard, as a screen locker must.
#include <X11/Xlib.h>
#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "bindings/key_names.h"

namespace {

int render() {
  if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) return 1;
  BITMAP *canvas = create_bitmap_ex(8, 320, 240);
  clear_to_color(canvas, 0);
  int x = 0;
  int y = 0;
  std::string text;
  // Opaque cells, as the program draws them: a later line covers an earlier one.
  while (std::cin >> x >> y && std::getline(std::cin >> std::ws, text))
    textprintf_ex(canvas, font, x, y, 1, 0, "%s", text.c_str());
  for (int row = 0; row < 240; ++row) {
    for (int column = 0; column < 320; ++column) {
      const bool lit = getpixel(canvas, column, row) != 0;
      std::fwrite(lit ? "\0\0\xff" : "\0\0\0", 1, 3, stdout);
    }
  }
  return 0;
}

int keys() {
  if (allegro_init() != 0 || install_timer() != 0 || install_keyboard() != 0) return 1;
  set_keyboard_rate(0, 0);
  set_window_title("key probe");
  set_color_depth(16);
  if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 320, 240, 0, 0) != 0) return 1;
  bool was_down[KEY_MAX] = {};
  for (;;) {
    for (int scancode = 1; scancode < KEY_MAX; ++scancode) {
      const bool down = key[scancode] != 0;
      if (down && !was_down[scancode]) {
        const int code = file_scancode(scancode);
        std::printf("%d %s\n", code, key_name(code));
      }
      was_down[scancode] = down;
    }
    std::fflush(stdout);
    rest(1);
  }
}

int grab() {
  Display *display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  const int result = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                   GrabModeAsync, CurrentTime);
  XCloseDisplay(display);
  return result == GrabSuccess ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "render") return render();
  if (mode == "keys") return keys();
  if (mode == "grab") return grab();
  std::fprintf(stderr, "usage: screen_helper render|keys|grab\n");
  return 2;
}
END_OF_MAIN()
