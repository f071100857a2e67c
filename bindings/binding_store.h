// Reading and saving the binding file: every save re-reads the file, lets the library write the
// new text into memory, checks it, and only then writes it in place.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "bindings/binding_file.h"
#include "bindings/key_names.h"

// A player's keys in action order; no_file_scancode for a key left as it is.
using key_codes = std::array<int, action_names.size()>;

// Each returns "" on success, or one line in Spanish saying why not.

// Once the library is started: the directory still exists, no other copy of the program is
// using it (a lock held until exit, no file left behind), and the file can be used. Remembers
// whether the file is a link and where to, so that a swap is noticed later.
std::string open_binding_store();

// Before a capture: the file, re-read as it is now, is still usable, and a save of that
// player's keys would land where the game reads them, and the disk has room for it.
std::string check_before_capture(int player);

// Saves the player's keys into the file as it is now. Nothing taken, nothing written. On failure
// the file keeps its content.
std::string save_keys(int player, const key_codes &codes);

// What the library saves when the given keys are set in text (no_file_scancode: left as it
// is), or "" with reason set when the result would not read back as those keys, the other
// player's keys and the rest unchanged. Needs the library installed (any system driver).
std::string saved_text(std::string_view text, int player, const key_codes &codes,
                       std::string &reason);
