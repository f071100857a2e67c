// The capture of one player's seven bindings, one key press per action, in the order pressed.
#pragma once

#include <array>
#include <atomic>
#include <csignal>

#include "bindings/binding_file.h"

// One capture's keys, in action order, no_file_scancode where none was taken yet. Atomic: a
// loss of the display saves them from whichever thread notices it.
struct taken_keys {
  std::atomic<int> player{-1};  // -1: nothing waiting to be saved
  std::array<std::atomic<int>, action_names.size()> codes{};
};

// Called once all seven keys are taken, before the last one's name is drawn, so that they are
// kept by the time the player sees the list complete.
using keys_taken_proc = void (*)(taken_keys &taken);

// Asks for a key for each action of player 0 or 1 and shows its name, recording each key in
// taken as it comes. Presses made before the call (the hotkey's among them) never bind; those
// made while a prompt is being drawn bind the next prompts. stop ends it early, keeping the
// keys already taken; all_taken is then never called.
void capture_player_keys(int player, taken_keys &taken, const volatile std::sig_atomic_t &stop,
                         keys_taken_proc all_taken);

// Waits for one more press, which closes the finished list, or for stop.
void wait_for_closing_key(const volatile std::sig_atomic_t &stop);
