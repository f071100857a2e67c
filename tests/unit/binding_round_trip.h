// The program's save path through the library's configuration code, run on a file's bytes and
// judged line by line; shared by the property test and the fuzz target.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "bindings/binding_file.h"

using binding_values = std::array<int, action_names.size()>;

// Starts the library with no platform driver, as only its configuration code is needed, and
// makes a scratch directory, removed at exit. False when either fails.
bool start_round_trips();

// Saves the player's seven bindings into bytes as the program does, through a scratch file. What
// went wrong, or nothing when all other comments, sections and keys were kept in order and the
// library reads the new values from the player's section; blank lines, spaces around '=' and
// line breaks may change. Only for valid UTF-8: the library can loop forever on other bytes.
std::string round_trip(std::string_view bytes, int player, const binding_values &values);

// bytes as a C string literal, to print a failing case.
std::string c_literal(std::string_view bytes);
