// The capture of one player's seven bindings, one key press per action, in the order pressed.
#pragma once

#include <csignal>

#include "bindings/binding_store.h"

// Asks for a key for each action of player 0 or 1 and shows its name, recording each key in
// taken as it comes. Presses made before the call (the hotkey's among them) never bind; those
// made while a prompt is being drawn bind the next prompts. stop ends it early, keeping the
// keys already taken.
void capture_player_keys(int player, taken_keys &taken, const volatile std::sig_atomic_t &stop);

// Waits for one more press, which closes the finished list, or for stop.
void wait_for_closing_key(const volatile std::sig_atomic_t &stop);
