// Expected screens are drawn by the library itself, started without a display, so the font's
// glyphs come from the same place as the program's.
#include "screen_image.h"

#include <allegro.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace {

constexpr std::uint32_t blue = 0x0000ff;
constexpr int text_index = 1;

void start_library_once() {
  static const bool started = [] {
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) std::abort();
    return true;
  }();
  (void)started;
}

}  // namespace

screen_image expected_screen(const std::vector<text_line> &lines) {
  start_library_once();
  BITMAP *canvas = create_bitmap_ex(8, screen_width, screen_height);
  clear_to_color(canvas, 0);
  for (const text_line &line : lines)
    textprintf_ex(canvas, font, line.x, line.y, text_index, 0, "%s", line.text.c_str());
  screen_image image(static_cast<std::size_t>(screen_width * screen_height), 0);
  for (int y = 0; y < screen_height; ++y) {
    for (int x = 0; x < screen_width; ++x) {
      if (getpixel(canvas, x, y) == text_index)
        image[static_cast<std::size_t>(y * screen_width + x)] = blue;
    }
  }
  destroy_bitmap(canvas);
  return image;
}

int count_differences(const screen_image &a, const screen_image &b) {
  if (a.size() != b.size()) return screen_width * screen_height;
  int differences = 0;
  for (std::size_t i = 0; i < a.size(); ++i) differences += a[i] != b[i] ? 1 : 0;
  return differences;
}

void save_ppm(const screen_image &image, const std::string &path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << screen_width << ' ' << screen_height << "\n255\n";
  for (const std::uint32_t pixel : image) {
    out.put(static_cast<char>((pixel >> 16) & 0xff));
    out.put(static_cast<char>((pixel >> 8) & 0xff));
    out.put(static_cast<char>(pixel & 0xff));
  }
}
