// The names the game reads back from the binding file: the file, the player sections, the keys.
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
