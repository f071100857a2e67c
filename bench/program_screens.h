// The screens the program must show, written out from its texts and positions.
#pragma once

#include <string>
#include <vector>

#include "screen_image.h"

// The menu as a player must see it.
std::vector<text_line> menu_screen();

// The capture screen once the given key names were taken; the next prompt waits below them.
std::vector<text_line> capture_screen(const std::vector<std::string> &names);

struct key_press {
  std::string x_key;  // the X keysym name to press
  std::string name;   // the name the program must show for it
};
