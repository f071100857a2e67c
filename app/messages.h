// Every text the program says, in Spanish, on one line after "brumo-setup: ".
#pragma once

#include <string>

#include "storage/verdict.h"

// Why the binding file cannot be used or saved, naming the file and, where there is one, the
// line; and whether the file was left as it was.
std::string describe(const file_verdict &verdict);

enum start_failure {
  no_display,           // DISPLAY is not set
  library_not_started,  // on the display DISPLAY names
  timer_not_installed,
  keyboard_not_installed,
  screen_not_opened,  // no 320x240 16-bit screen
};

// library_error is the library's own words, "" when it left none.
std::string describe(start_failure failure, const std::string &library_error);

// The line printed when the display went away, with how the save of the keys taken went.
std::string describe_display_loss(const file_verdict &save);
