// The program's save path through the library's configuration code, run on a file's bytes and
// judged line by line; shared by the property test and the fuzz target.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "bindings/binding_file.h"

using binding_values = std::array<int, action_names.size()>;

// The library without a platform driver: its configuration code reads and writes files, and
// nothing opens a screen. False when the library would not start.
bool start_library_without_system();

// A new directory for scratch files, with no '#' in its path: the library's file layer reads
// "a#b" as object b inside datafile a.
std::string make_scratch_directory();

// Writes bytes to path, attaches it as the program does, sets the player's seven bindings,
// flushes, and reads the file back. Returns what went wrong, or nothing when every other comment,
// section and key was kept, the seven keys carry the new values in the player's section, and the
// library reads back what the file should hold. Blank lines, spaces around "=" and line endings
// may change. Only for bytes that check_binding_text accepts or refuses for their layout: the
// library can loop forever on bytes that are not UTF-8.
std::string round_trip(const std::string &path, std::string_view bytes, int player,
                       const binding_values &values);

// bytes as a C string literal, to print a failing case.
std::string c_literal(std::string_view bytes);
