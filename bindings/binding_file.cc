// Section names of the binding file: one section per player, numbered from 0.
#include "bindings/binding_file.h"

#include <cstdio>

void format_section_name(char (&out)[section_name_size], int player) {
  std::snprintf(out, sizeof out, "jugador%d", player);
}
