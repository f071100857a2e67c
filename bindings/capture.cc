// The capture screen: a prompt per action, the bound key's name beside it.
#include "bindings/capture.h"

#include <allegro.h>

#include <cstddef>

#include "bindings/key_names.h"
#include "bindings/key_presses.h"

namespace {

// The file number of the next press, or no_file_scancode once stop is set. Presses of keys
// the file cannot number are passed over.
int wait_for_key(const volatile std::sig_atomic_t &stop) {
  while (stop == 0) {
    const int scancode = take_key_press();
    if (scancode < 0) {
      rest(1);
      continue;
    }
    const int code = file_scancode(scancode);
    if (code != no_file_scancode) return code;
  }
  return no_file_scancode;
}

}  // namespace

void capture_player_keys(int player, taken_keys &taken, const volatile std::sig_atomic_t &stop,
                         keys_taken_proc all_taken) {
  if (stop != 0) return;
  for (std::atomic<int> &code : taken.codes) code = no_file_scancode;
  taken.player = player;
  forget_key_presses(key);  // the hotkey's press among them
  const int colour = makecol(0, 0, 255);
  clear_bitmap(screen);
  // Short pauses give the player a beat between prompts; presses made in them wait their turn.
  rest(100);

  int y = 10;
  for (std::size_t action = 0; action < action_names.size(); ++action) {
    rest(50);
    textprintf_ex(screen, font, 0, y, colour, 0, "presione tecla para %s", action_names[action]);
    const int code = wait_for_key(stop);
    if (code == no_file_scancode) return;
    taken.codes[action] = code;
    if (action + 1 == action_names.size()) all_taken(taken);
    // Opaque cells: on the longest prompts the name covers the prompt's tail.
    textprintf_ex(screen, font, 220, y, colour, 0, "= %s", key_name(code));
    rest(50);
    y += 10;
  }
}

void wait_for_closing_key(const volatile std::sig_atomic_t &stop) {
  wait_for_key(stop);
}
