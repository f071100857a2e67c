// The on-screen tests' helper, on the program's own library. "render [K]": the screen the program
// must show, from "x y text" lines on stdin, as raw RGB on stdout, magnified K times (320K x
// 240K, each pixel a K x K block; K 1 unless given). "grab":
// succeeds if the keyboard can be grabbed, as a screen locker must. "press": one key event per
// word through XTest, as a keyboard sends them (never an extra modifier): KEYSYM taps it (down,
// 80 ms, up), +KEYSYM and -KEYSYM press and release it, @N waits N milliseconds; #N in place of
// KEYSYM is keycode N (AltGr, 108, shares its keysym with another keycode on most layouts).
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <allegro.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include "bindings/binding_file.h"

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "render" && install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0) {
    BITMAP *canvas = create_bitmap_ex(8, 320, 240);
    clear_to_color(canvas, 0);
    int x = 0;
    int y = 0;
    std::string text;
    while (std::cin >> x >> y && std::getline(std::cin >> std::ws, text))
      textprintf_ex(canvas, font, x, y, 1, 0, "%s", text.c_str());  // opaque, as the program
    const int k = argc > 2 ? std::stoi(argv[2]) : 1;
    for (int at = 0; at < 320 * 240 * k * k; ++at)
      std::fwrite(getpixel(canvas, at / k % 320, at / (320 * k * k)) != 0 ? "\0\0\xff" : "\0\0\0",
                  1, 3, stdout);
    return 0;
  }
  Display *display = XOpenDisplay(nullptr);
  if (mode == "grab")
    return display == nullptr ||
           XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync,
                         CurrentTime) != GrabSuccess;
  for (int word = 2; display != nullptr && mode == "press" && word < argc; ++word) {
    const std::string press = argv[word];
    if (press[0] == '@') {
      usleep(static_cast<useconds_t>(std::stoi(press.substr(1)) * 1000));
      continue;
    }
    const bool tap = press[0] != '+' && press[0] != '-';
    const std::string name = press.substr(tap ? 0 : 1);
    const KeySym keysym = XStringToKeysym(name.c_str());
    KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
    if (name[0] == '#') keycode = static_cast<KeyCode>(std::stoi(name.substr(1)));
    if (keycode == 0) {
      std::fprintf(stderr, "screen_helper: no key for %s\n", press.c_str());
      return 2;
    }
    if (press[0] != '-') XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XSync(display, False);
    if (tap) usleep(80000);
    if (press[0] != '+') XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    XSync(display, False);
  }
  if (display != nullptr && mode == "press") return 0;
  std::fprintf(stderr, "usage: screen_helper render [K]|grab|press KEY...\n");
  return 2;
}
END_OF_MAIN()
