// The 320x240 picture both screens draw into, and the window that shows it magnified.
#include "app/screen.h"

#include <algorithm>

#include "app/platform.h"

BITMAP *picture = nullptr;

namespace {

constexpr int picture_width = 320;
constexpr int picture_height = 240;
int factor = 1;
// The picture magnified, in memory: the screen then takes it in one blit, which the library
// hands to the display whole (a stretch straight onto the screen reaches X11 line by line).
BITMAP *magnified = nullptr;

int screen_width() {
  return picture_width * factor;
}
int screen_height() {
  return picture_height * factor;
}

bool open_window(int magnified_by) {
  factor = magnified_by;
  return set_gfx_mode(GFX_AUTODETECT_WINDOWED, screen_width(), screen_height(), 0, 0) == 0;
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
  magnified = factor == 1 ? picture : create_bitmap(screen_width(), screen_height());
  if (picture == nullptr || magnified == nullptr) {
    ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, "sin memoria para la imagen");
    return false;
  }
  clear_bitmap(picture);
  return true;
}

void show_picture() {
  if (factor > 1)
    stretch_blit(picture, magnified, 0, 0, picture_width, picture_height, 0, 0, screen_width(),
                 screen_height());
  blit(factor > 1 ? magnified : picture, screen, 0, 0, 0, 0, screen_width(), screen_height());
  // On X11 the retrace wait is what sends the picture to the display at once; otherwise it waits
  // for the library's next flush, some 20 ms on. None where no driver runs (a memory screen).
  if (gfx_driver != nullptr) vsync();
}
