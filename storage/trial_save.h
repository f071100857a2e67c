// The judge of every save: the bytes checked first (storage/byte_check.cc) for what the library's
// configuration code cannot survive, then the library's own save, run into memory, and read back.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "bindings/binding_file.h"
#include "storage/verdict.h"

// The lines as the library splits them: at LF, CRLF, LFCR or a lone CR; a final break ends the
// last line rather than starting an empty one.
std::vector<std::string_view> lines_of(std::string_view text);
// No byte-order mark, no NUL, valid UTF-8, no long line with non-ASCII text, within the cap.
file_verdict check_bytes(std::string_view bytes);

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
