// Scancodes as the binding file stores them: their screen names, and the library's numbers mapped
// to them.
#pragma once

#include <array>

// The file numbers keys the way the library's 4.0 interface did: row n names scancode n.
// Row 115 is that interface's key count, not a key, but it keeps its row.
extern const std::array<const char *, 116> key_names;

// The name shown for a file scancode; "(none)" for a number no key has.
const char *key_name(int scancode);

// The file's number for a scancode of the library in use, or no_file_scancode for 0 and for a
// key that the file's numbering cannot hold (a Mac keypad equals, an unknown key, ...).
constexpr int no_file_scancode = -1;
int file_scancode(int library_scancode);
