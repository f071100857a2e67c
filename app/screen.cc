// The 320x240 picture both screens draw into, and the window that shows it magnified.
#include "app/screen.h"

#include <algorithm>

#include "app/platform.h"

BITMAP *picture = nullptr;

namespace {

constexpr int picture_width = 320;
constexpr int picture_height = 240;
int factor = 1;

bool open_window(int magnified_by) {
  factor = magnified_by;
  return set_gfx_mode(GFX_AUTODETECT_WINDOWED, picture_width * factor, picture_height * factor, 0,
                      0) == 0;
}

}  // namespace

int screen_factor(int width, int height) {
  return std::max(1, std::min(width / (2 * picture_width), height / (2 * picture_height)));
}

bool open_screen() {
  int width = 0;
  int height = 0;
  smallest_monitor(width, height);
  // A window where the desktop can make one: full screen would grab the keyboard and change
  // the display's mode.
  const int wanted = screen_factor(width, height);
  if (!open_window(wanted) && (wanted == 1 || !open_window(1)) &&
      set_gfx_mode(GFX_AUTODETECT, picture_width, picture_height, 0, 0) != 0)
    return false;
  picture = create_bitmap(picture_width, picture_height);
  if (picture == nullptr) ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, "sin memoria para la imagen");
  if (picture == nullptr) return false;
  clear_bitmap(picture);
  return true;
}

void show_picture() {
  stretch_blit(picture, screen, 0, 0, picture_width, picture_height, 0, 0, picture_width * factor,
               picture_height * factor);
}
