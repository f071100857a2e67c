// The menu: a title, a heading and the three choices, in blue on black.
#include "app/menu.h"

#include <allegro.h>

#include <array>

namespace {

struct menu_line {
  int x;
  int y;
  const char *text;
};

// The row at y = 20 stays empty between the heading and the choices.
constexpr std::array menu_lines = {
    menu_line{10, 0, "Brumo vs Tuk"},
    menu_line{10, 10, "CONFIGURACION"},
    menu_line{10, 30, "1-   Configurar teclas jugador 1"},
    menu_line{10, 40, "2-   Configurar teclas jugador 2"},
    menu_line{10, 50, "ESC- Salir"},
};

}  // namespace

void draw_menu() {
  const int colour = makecol(0, 0, 255);
  // Where the retrace wait returns at once (Wine, some drivers), the retraces the library's
  // timer counts still pace the loop; where it waits, the count has moved on already.
  const int last_retrace = retrace_count;
  vsync();
  while (retrace_count == last_retrace) rest(1);
  clear_bitmap(screen);
  // Background 0 is the library's default text mode: each cell opaque black.
  for (const menu_line &line : menu_lines)
    textprintf_ex(screen, font, line.x, line.y, colour, 0, "%s", line.text);
}
