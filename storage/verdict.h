// What storage finds about the binding file, for the program to word: a kind of problem and,
// where it applies, the line, the file's type, the system's error and the player.
#pragma once

#include <cstddef>

enum file_problem {
  file_ok,
  directory_gone,          // the current directory was removed
  directory_in_use,        // another copy of the program holds it
  directory_not_lockable,  // system_error
  directory_temporary,     // the system's temporary folder: an archive opened in place
  file_not_regular,        // a directory, FIFO, device or socket: file_type
  file_dangling_link,      // a link to nothing: the saves could land nowhere, unseen
  file_swapped_for_link,   // a link appeared, or points elsewhere, since the start
  file_unreadable,         // its lines would be lost on rewrite
  file_not_writable,       // the bindings could never be saved
  directory_not_writable,  // no file yet, and none can be made here
  file_too_large,          // past binding_file_size_cap
  file_has_byte_order_mark,
  file_has_nul_byte,
  file_not_utf8,
  file_long_line_not_ascii,  // the library's loader overruns its line buffer on it
  file_line_changed,         // the library's rewrite would change what this line means
  file_keys_misplaced,       // the library would save the player's keys outside its section
  save_too_large,            // the saved file would pass binding_file_size_cap
  save_over_size_limit,      // the process's file-size limit (ulimit -f)
  save_no_room,              // the disk has no room for the save: found before the capture
  trial_save_failed,         // the save could not be tried in memory: system_error
  save_failed,               // the write failed, the file kept as it was: system_error
  save_incomplete,           // the write failed and the old text could not be put back
  save_unverified,           // the bytes read back are not the ones written
};

struct file_verdict {
  file_problem problem = file_ok;
  int line = 0;          // 1-based, for problems in the text
  int file_type = 0;     // st_mode's type bits, for file_not_regular
  int system_error = 0;  // errno, for the system's refusals
  int player = 0;        // 0 or 1, for file_keys_misplaced
};

// Two players' settings are well under a kilobyte. The library reads the whole file for each
// trial save of a judgement and walks all of it for every key it looks up: at this cap the
// slowest judgement, a file of short sections, stays under a tenth of a second.
constexpr std::size_t binding_file_size_cap = std::size_t{64} * 1024;

// The library's loader writes past its line buffer when a multi-byte character reaches its
// 256th byte (or 512th, 1024th, ...); lines up to this length with such characters are safe.
constexpr std::size_t long_line_bytes = 250;
