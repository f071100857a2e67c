// The menu and capture screens, shared by the on-screen tests and the benchmark.
#include "program_screens.h"

#include <iterator>

std::vector<text_line> menu_screen() {
  return {
      {10, 0, "Brumo vs Tuk"},
      {10, 10, "CONFIGURACION"},
      {10, 30, "1-   Configurar teclas jugador 1"},
      {10, 40, "2-   Configurar teclas jugador 2"},
      {10, 50, "ESC- Salir"},
  };
}

std::vector<text_line> capture_screen(const std::vector<std::string> &names) {
  static const char *const actions[] = {"arriba",   "abajo",   "izquierda", "derecha",
                                        "trompada", "bloqueo", "patada"};
  std::vector<text_line> lines;
  for (std::size_t i = 0; i < std::size(actions) && i <= names.size(); ++i) {
    const int y = 10 + 10 * static_cast<int>(i);
    lines.push_back({0, y, std::string("presione tecla para ") + actions[i]});
    if (i < names.size()) lines.push_back({220, y, "= " + names[i]});
  }
  return lines;
}
