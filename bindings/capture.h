// The capture of one player's seven bindings, one key press per action, in the order pressed;
// the key presses it takes (bindings/key_presses.cc); the menu's hotkeys that start it.
#pragma once

#include <array>
#include <atomic>

#include "bindings/binding_file.h"

// One capture's keys, in action order, no_file_scancode where none was taken yet. Atomic: a
// loss of the display saves them from whichever thread notices it.
struct taken_keys {
  std::atomic<int> player{-1};  // -1: nothing waiting to be saved
  std::array<std::atomic<int>, action_names.size()> codes{};
};

// Asks for a key for each action of player 0 or 1 and shows its name, recording each key in
// taken as it comes. Presses made before the call (the hotkey's among them) never bind; those
// made while a prompt is being drawn bind the next prompts. Returns true once the seventh key is
// taken, before its name is shown, so that the keys can be saved before the player sees the list
// complete; false on a stop request, keeping the keys already taken.
bool capture_player_keys(int player, taken_keys &taken);

// After a complete capture: shows the last key's name, then waits for one more press, which
// closes the list, or for a stop request.
void finish_capture(const taken_keys &taken);

// One step of the main loop: the main keyboard's 1 and 2 start player 0's and player 1's capture
// when seen going down. keys is the library's key state array; each flag stays set while its key
// is held, so a held hotkey starts its capture only once. Both flags start clear.
using capture_proc = void (*)(int player);
void hotkey_step(const volatile char *keys, char &key1_held, char &key2_held, capture_proc capture);

// Every physical key press, in the order pressed, is taken from the library's low-level keyboard
// hook: modifiers and dead keys included, which never reach the library's key buffer. Once,
// after install_keyboard: no auto-repeat, and the hook that queues the presses.
void install_key_presses();
// The hook itself: raw is the library's scancode, with 0x80 set for a release. A press that
// finds the queue full is dropped; repeats of a held key never come (see install_key_presses).
void on_key_event(int raw);
// Drops the presses queued so far, and the presses of the keys down in held (the library's key
// state) that are still on their way to the queue.
void forget_key_presses(const volatile char *held);
// The library's scancode of the oldest queued press, taking it from the queue, or -1 when
// none is waiting.
int take_key_press();
