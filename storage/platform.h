// The file system calls that differ between systems, each the least storage needs; one file
// per system implements them (platform_posix.cc, platform_windows.cc).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "storage/verdict.h"

// Held until the process ends: no other copy of the program works in the current directory.
// file_ok, directory_gone, directory_in_use or directory_not_lockable.
file_verdict lock_current_directory();

// What path links to, "" when it is no link.
std::string link_target(const char *path);

// The bytes of path, read without ever blocking (on a FIFO put in its place). A missing file
// reads as empty where the directory lets the library create it. Checks the kind of file, the
// cap and the permission to write it; not the bytes.
file_verdict read_file(const char *path, std::string &bytes);

// A scratch file holding text, which the library loads and saves by name: its path, and a
// handle for take_scratch_file, which gives what it holds then and removes it, on every path.
// Unique to this copy of the program. 0 or the errno.
int make_scratch_file(std::string_view text, std::string &path, int &handle);
int take_scratch_file(const std::string &path, int handle, std::string &bytes);

// Where the current directory is the system's folder for temporary files (an archive opened in
// place), a game cannot be looking for its keys there.
bool in_temporary_folder();

// Whether the disk has room for size bytes in place of what path holds there now.
bool room_for(const char *path, std::size_t size);

// The largest file the process may write (ulimit -f), SIZE_MAX when unlimited.
std::size_t file_size_limit();

// Writes after over before, the content of path now (created when it does not exist), keeping
// its identity, owner and mode, and reads it back. follow_link: path may be a link, as it was
// at the start.
file_verdict rewrite_file(const char *path, std::string_view before, std::string_view after,
                          bool follow_link);

// The in-place write itself, on an open file: room reserved, after written over before, the
// length cut, and before put back if any step fails. write_at is system_write_at, or a
// stand-in that fails on purpose.
using write_at_proc = ssize_t (*)(int fd, const void *bytes, std::size_t size, off_t offset);
struct write_outcome {
  int error = 0;          // errno of the failed step; 0 when after is on disk
  bool restored = false;  // on failure: before is back as it was
};
write_outcome write_in_place(int fd, std::string_view before, std::string_view after,
                             write_at_proc write_at);
ssize_t system_write_at(int fd, const void *bytes, std::size_t size, off_t offset);
