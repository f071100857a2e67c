// The judge of every save: the library's own save, run into memory, and read back.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "bindings/binding_file.h"
#include "storage/verdict.h"

// A player's keys in action order; no_file_scancode for a key left as it is.
using key_codes = std::array<int, action_names.size()>;

// Sets the keys of player 0 or 1 in text as the library would and, when the result keeps every
// other setting, comment and blank line of text, holds the keys where a game reads them, and lets
// any later capture of either player land right too, gives it in saved. Where an empty line, at
// the end of text or after a player's section, is all the library needs to place the keys
// right, it is added. Needs the library installed (any system driver); text passed the byte
// check.
file_verdict trial_save(std::string_view text, int player, const key_codes &codes,
                        std::string &saved);
