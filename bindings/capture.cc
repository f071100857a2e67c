// The capture screen, a prompt per action and the bound key's name beside it, and the hotkeys.
#include "bindings/capture.h"

#include <allegro.h>

#include <cstddef>

#include "app/screen.h"
#include "app/stop_request.h"

namespace {

// The file number of the next press, or no_file_scancode once a stop is requested and no press
// made before it waits (Alt+F4 binds Alt). Presses of keys the file cannot number are passed over.
int wait_for_key() {
  for (;;) {
    const bool stopping = stop_requested();    // read before the take, which then sees every press
    const int scancode = take_key_press();     // made before the request
    const int code = file_scancode(scancode);  // none for -1, no press waiting
    if (code != no_file_scancode) return code;
    if (scancode < 0 && stopping) return no_file_scancode;
    if (scancode < 0) rest(1);
  }
}

int row_y(std::size_t action) {
  return 10 + 10 * static_cast<int>(action);
}

// The key's name beside its prompt. Opaque cells: on the longest prompts the name covers the
// prompt's tail.
void show_name(std::size_t action, int code) {
  textprintf_ex(picture, font, 220, row_y(action), makecol(0, 0, 255), 0, "= %s", key_name(code));
  show_picture();
}

void hotkey(bool down, char &held, int player, capture_proc capture) {
  const bool pressed = down && held == 0;
  held = static_cast<char>(down);
  if (pressed) capture(player);
}

}  // namespace

bool capture_player_keys(int player, taken_keys &taken) {
  if (stop_requested()) return false;
  for (std::atomic<int> &code : taken.codes) code = no_file_scancode;
  taken.player = player;
  forget_key_presses(key);  // the hotkey's press among them
  clear_bitmap(picture);
  show_picture();
  // Short pauses give the player a beat between prompts; presses made in them wait their turn.
  rest(100);
  for (std::size_t action = 0; action < action_names.size(); ++action) {
    rest(50);
    textprintf_ex(picture, font, 0, row_y(action), makecol(0, 0, 255), 0, "presione tecla para %s",
                  action_names[action]);
    show_picture();
    const int code = wait_for_key();
    if (code == no_file_scancode) return false;
    taken.codes[action] = code;
    if (action + 1 == action_names.size()) return true;
    show_name(action, code);
    rest(50);
  }
  return true;
}

void finish_capture(const taken_keys &taken) {
  show_name(action_names.size() - 1, taken.codes.back());
  rest(50);
  wait_for_key();
}

void hotkey_step(const volatile char *keys, char &key1_held, char &key2_held,
                 capture_proc capture) {
  hotkey(keys[KEY_1] != 0, key1_held, 0, capture);
  // Read only now: a 2 pressed during player 0's capture and still held starts player 1's.
  hotkey(keys[KEY_2] != 0, key2_held, 1, capture);
}
