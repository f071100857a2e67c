// The refusal's way out, with the text wrapped for the message box.
#include "app/failure.h"

#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/platform.h"

namespace {

// The message box sizes itself to the text: one long line would hide the reason off screen.
std::string wrapped(const std::string &line) {
  constexpr std::size_t width = 60;
  std::string text;
  std::size_t column = 0;
  for (std::size_t start = 0; start < line.size();) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    const std::size_t length = end - start;
    if (column > 0) {
      const bool new_line = column + 1 + length > width;
      text += new_line ? '\n' : ' ';
      column = new_line ? 0 : column + 1;
    }
    text.append(line, start, length);
    column += length;
    start = end + 1;
  }
  return text;
}

}  // namespace

void fail(const std::string &reason, bool message_box) {
  block_stop_requests();
  const std::string line = "brumo-setup: " + reason;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (message_box) {
    // The message box needs the text mode; the library shows it as the platform can.
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_message("%s\n", wrapped(line).c_str());
  }
  std::exit(1);
}
