// Reading and saving the binding file: every save re-reads the file, lets the library write the
// new text into memory, checks it, and only then writes it in place.
#pragma once

#include <array>
#include <atomic>
#include <string>
#include <string_view>

#include "bindings/binding_file.h"
#include "bindings/key_names.h"

// One capture's keys, in action order, no_file_scancode where none was taken yet. Atomic: a
// loss of the display saves them from whichever thread notices it.
struct taken_keys {
  std::atomic<int> player{-1};  // -1: nothing waiting to be saved
  std::array<std::atomic<int>, action_names.size()> codes{};
};

// Each returns "" on success, or one line in Spanish saying why not.

// Before the library is started: the directory still exists, no other copy of the program is
// using it (a lock held until exit, no file left behind), and the file can be used. Remembers
// whether the file is a link and where to, so that a swap is noticed later.
std::string open_binding_store();

// Before a capture: the file, re-read as it is now, is still usable, and a save of that
// player's keys would land where the game reads them.
std::string check_before_capture(int player);

// Saves what taken holds into the file as it is now, then marks it saved. Nothing taken,
// nothing written. On failure the file keeps its content.
std::string save_taken_keys(taken_keys &taken);

// What the library saves when the given keys are set in text (no_file_scancode: left as it
// is), or "" with reason set when the result would not read back as those keys, the other
// player's keys and the rest unchanged. Needs the library installed (any system driver).
std::string saved_text(std::string_view text, int player,
                       const std::array<int, action_names.size()> &codes, std::string &reason);
