// What the program's 320x240 screen shows, and the screen it must show, as 0xRRGGBB pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int screen_width = 320;
constexpr int screen_height = 240;

using screen_image = std::vector<std::uint32_t>;  // row-major, screen_width * screen_height

inline std::size_t pixel_index(int x, int y) {
  return static_cast<std::size_t>(y) * screen_width + static_cast<std::size_t>(x);
}

struct text_line {
  int x;
  int y;
  std::string text;
};

// The lines drawn in order, blue on opaque black cells with the library's own default font,
// on an otherwise black screen: a later line's cells cover an earlier one's.
screen_image expected_screen(const std::vector<text_line> &lines);

// How many pixels differ; 0 for the same image.
int count_differences(const screen_image &a, const screen_image &b);

// Writes a PNG (uncompressed: these images are small), to look at after a failure.
void save_png(const screen_image &image, const std::string &path);
