// configure_player_keys and the key wait behind it: keys from the library's buffer, plus
// modifier presses caught by the low-level keyboard hook.
#include "bindings/capture.h"

#include <allegro.h>

#include <atomic>

#include "app/stop_request.h"
#include "bindings/binding_file.h"
#include "bindings/key_names.h"

namespace {

constexpr int modifier_count = KEY_CAPSLOCK - KEY_LSHIFT + 1;
constexpr int key_released_bit = 0x80;

// Written by the library's keyboard thread, read by the capture.
std::atomic<int> pending_modifier{no_file_scancode};
std::atomic<bool> modifier_down[modifier_count];

// Runs on the keyboard thread: records a modifier going down, and nothing else. A press of a
// key already down is the keyboard repeating it, and binds nothing.
void on_low_level_key(int raw) {
  const int scancode = raw & ~key_released_bit;
  if (scancode < KEY_LSHIFT || scancode > KEY_CAPSLOCK) return;
  std::atomic<bool> &down = modifier_down[scancode - KEY_LSHIFT];
  if ((raw & key_released_bit) != 0) {
    down = false;
  } else if (!down.exchange(true)) {
    pending_modifier = file_scancode(scancode);
  }
}

// Keys pressed before this call never bind.
void forget_keys() {
  clear_keybuf();
  pending_modifier = no_file_scancode;
}

// The file scancode of the next key, or no_file_scancode when the program is asked to stop.
// Keys the file cannot number are passed over.
int wait_for_key() {
  while (stop_requested == 0) {
    if (keypressed()) {
      const int code = file_scancode((readkey() >> 8) & 0xff);
      if (code != no_file_scancode) return code;
      continue;
    }
    const int modifier = pending_modifier.exchange(no_file_scancode);
    if (modifier != no_file_scancode) return modifier;
    rest(1);
  }
  return no_file_scancode;
}

}  // namespace

void install_capture_keyboard() {
  // A held key must bind one action, not all seven through the repeats.
  set_keyboard_rate(0, 0);
  keyboard_lowlevel_callback = on_low_level_key;
}

void configure_player_keys(int player) {
  if (stop_requested != 0) return;
  const int colour = makecol(0, 0, 255);
  clear_bitmap(screen);
  forget_keys();  // the hotkey press that started us among them
  char section[section_name_size];
  format_section_name(section, player);
  // Short pauses give the player a beat between prompts; keys pressed in them are dropped
  // with the buffer, so a key still bouncing from the last press cannot bind the next action.
  rest(100);

  int y = 10;
  for (const char *action : action_names) {
    rest(50);
    textprintf_ex(screen, font, 0, y, colour, 0, "presione tecla para %s", action);
    forget_keys();
    const int code = wait_for_key();
    if (code == no_file_scancode) return;
    // Opaque cells: on the longest prompts the name covers the prompt's tail.
    textprintf_ex(screen, font, 220, y, colour, 0, "= %s", key_name(code));
    set_config_int(section, action, code);
    rest(50);
    y += 10;
  }
  // On disk now: a run that is killed later must not take these bindings with it.
  flush_config_file();
  // The finished list stays up until one more key; a key already buffered closes it at once.
  wait_for_key();
}
