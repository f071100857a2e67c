// The refusal's way out: stderr, the message box, status 1.
#include "app/failure.h"

#include <allegro.h>

#include <cstdio>
#include <cstdlib>

#include "app/platform.h"

void fail(const std::string &reason, bool message_box) {
  block_stop_requests();
  const std::string line = "brumo-setup: " + reason;
  std::fprintf(stderr, "%s\n", line.c_str());
  if (message_box) {
    // The message box needs the text mode; the library shows it as the platform can.
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    allegro_message("%s\n", message_box_text(line).c_str());
  }
  std::exit(1);
}
