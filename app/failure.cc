// The refusal's way out: stderr, the message box, status 1.
#include "app/failure.h"

#include <allegro.h>

#include <cstdio>
#include <cstdlib>

#include "app/platform.h"

void fail(const std::string &reason, bool message_box) {
  const std::string line = "brumo-setup: " + reason;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (message_box) {
    // The message box needs the text mode. Stop requests still reach the program while the box
    // is up, and close it.
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    show_message_box(line);
  }
  block_stop_requests();
  std::exit(1);
}
