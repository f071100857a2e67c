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

// The screen the on-screen tests expect for one of their screens: lines is a call of their
// menu_lines or capture_lines, drawn by their helper with the library's font.
screen_image expected_screen(const std::string &lines);

// How many pixels differ; 0 for the same image.
int count_differences(const screen_image &a, const screen_image &b);
