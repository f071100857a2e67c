// The capture of one player's seven bindings, one key press per action.
#pragma once

// Once, after install_keyboard: no auto-repeat, and presses of Shift, Ctrl, Alt and the
// other modifiers (which never reach the keyboard buffer) are seen by the capture too.
void install_capture_keyboard();

// Asks for a key for each action of player 0 or 1, shows its name, sets it in the binding
// file and writes the file; then waits for one more key. A stop request ends it early,
// keeping the bindings already taken.
void configure_player_keys(int player);
