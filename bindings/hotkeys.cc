// Edge-triggered hotkeys: a capture starts when its key is seen going down, never while held.
#include "bindings/hotkeys.h"

#include <allegro.h>

namespace {

void hotkey(bool down, char &held, int player, capture_proc capture) {
  const bool pressed = down && held == 0;
  held = static_cast<char>(down);
  if (pressed) capture(player);
}

}  // namespace

void hotkey_step(const volatile char *keys, char &key1_held, char &key2_held,
                 capture_proc capture) {
  hotkey(keys[KEY_1] != 0, key1_held, 0, capture);
  // Read only now: a 2 pressed during player 0's capture and still held starts player 1's.
  hotkey(keys[KEY_2] != 0, key2_held, 1, capture);
}
