// Whether the binding file can be handed to the library's configuration code, which would
// otherwise mangle, truncate or hang on it, or lose the run's bindings at exit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum file_problem {
  file_ok,
  file_not_regular,        // a directory, FIFO, device or socket
  file_dangling_link,      // a link to nothing: the saves could land nowhere, unseen
  file_unreadable,         // its lines would be lost on rewrite
  file_not_writable,       // the bindings could never be saved
  directory_not_writable,  // no file yet, and none can be made here
  file_too_large,          // far beyond any settings file
  file_has_byte_order_mark,
  file_has_nul_byte,
  file_not_utf8,
  file_section_line_has_text,   // saving would glue the text to the section's name
  file_player_section_runs_on,  // saving would put a player's missing keys in the next section
  file_long_line_not_ascii,     // the library's loader overruns its line buffer on it
};

struct file_verdict {
  file_problem problem = file_ok;
  int line = 0;          // 1-based line of the offending byte, for problems in the text
  int file_type = 0;     // st_mode's type bits, for file_not_regular
  int system_error = 0;  // errno, for the access problems
};

// A settings file for two players is well under a kilobyte; a megabyte is no settings file,
// and the library would read all of it into memory and write it back.
constexpr std::size_t binding_file_size_cap = std::size_t{1024} * 1024;

// The library's loader writes past its line buffer when a multi-byte character reaches its
// 256th byte (or 512th, 1024th, ...); lines up to this length with such characters are safe.
constexpr std::size_t long_line_bytes = 250;

// The bytes of an existing file: no byte-order mark, no NUL, valid UTF-8, and no layout the
// library would change the meaning of when it saves the file.
file_verdict check_binding_text(std::string_view bytes);

// Reads the file at path into bytes and checks it, without ever blocking on it: a missing file
// needs a writable directory, and reads as empty.
file_verdict read_binding_file(const char *path, std::string &bytes);

// An errno value in the words of the messages.
std::string system_error_text(int error);

// One line in Spanish that names the file, the line where there is one, and the reason.
std::string describe_verdict(const file_verdict &verdict, const char *path);
