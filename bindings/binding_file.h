// What the game reads back from the binding file: the file, the player sections, the actions'
// keys and the scancodes they hold, numbered the way the library's 4.0 interface did.
#pragma once

#include <array>

inline constexpr const char *binding_file_name = "brumo.ini";

// "jugador0" is the first player's (menu item 1), "jugador1" the second's.
inline constexpr std::array section_names = {"jugador0", "jugador1"};

// Capture order; each word is both the prompt's action and the key in the file.
inline constexpr std::array action_names = {
    "arriba",     // up
    "abajo",      // down
    "izquierda",  // left
    "derecha",    // right
    "trompada",   // punch
    "bloqueo",    // block
    "patada",     // kick
};
static_assert(action_names.size() == 7);

// The name shown for a file scancode (bindings/key_names.cc); "(none)" for a number no key has.
const char *key_name(int scancode);

// The file's number for a scancode of the library in use, or no_file_scancode for 0 and for a
// key that the file's numbering cannot hold (a Mac keypad equals, an unknown key, ...).
constexpr int no_file_scancode = -1;
int file_scancode(int library_scancode);
