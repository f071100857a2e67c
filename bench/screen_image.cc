// The expected screens come from the on-screen tests themselves, so the bench carries no copy
// of the screen texts or of their drawing.
#include "screen_image.h"

#include <cstdio>
#include <stdexcept>

screen_image expected_screen(const std::string &lines) {
  const std::string command = "bash -c 'bats_require_minimum_version() { :; }; source " +
                              std::string(BRUMO_SCREEN_LIB) + " && " + lines + "' | " +
                              BRUMO_SCREEN_HELPER + " render";
  FILE *rendered = popen(command.c_str(), "r");  // NOLINT(cert-env33-c): the texts are bash
  if (rendered == nullptr) throw std::runtime_error("cannot run: " + command);
  screen_image image(pixel_index(0, screen_height));
  unsigned char rgb[3];
  for (std::uint32_t &pixel : image) {
    if (std::fread(rgb, 1, 3, rendered) != 3) throw std::runtime_error("short image: " + command);
    pixel = static_cast<std::uint32_t>(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
  }
  pclose(rendered);
  return image;
}

int count_differences(const screen_image &a, const screen_image &b) {
  if (a.size() != b.size()) return screen_width * screen_height;
  int differences = 0;
  for (std::size_t i = 0; i < a.size(); ++i) differences += a[i] != b[i] ? 1 : 0;
  return differences;
}
