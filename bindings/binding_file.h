// The names the game reads back from the binding file: the file, the player sections, the keys.
#pragma once

#include <array>
#include <cstddef>

constexpr const char *binding_file_name = "brumo.ini";

// Capture order; each word is both the prompt's action and the key in the file.
constexpr std::array action_names = {
    "arriba",     // up
    "abajo",      // down
    "izquierda",  // left
    "derecha",    // right
    "trompada",   // punch
    "bloqueo",    // block
    "patada",     // kick
};
static_assert(action_names.size() == 7);

constexpr std::size_t section_name_size = 256;

// Writes "jugador0" for the first player, "jugador1" for the second, into out.
void format_section_name(char (&out)[section_name_size], int player);
