// The file rewritten in place, the same steps on every system over the primitives of
// app/platform.h: room reserved, the new text written over the old, the length cut, all
// flushed, read back; the old text put back when a step fails.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "storage/verdict.h"

// Reads the open file fd from its start into bytes, stopping once past limit. 0, or the errno.
int read_from_start(int fd, std::size_t limit, std::string &bytes);

// The in-place write itself, after over before on an open file. write_at is system_write_at, or a
// stand-in that fails on purpose.
using write_at_proc = ssize_t (*)(int fd, const void *bytes, std::size_t size, off_t offset);
struct write_outcome {
  int error = 0;          // errno of the failed step; 0 when after is on disk
  bool restored = false;  // on failure: before is back as it was
};
write_outcome write_in_place(int fd, std::string_view before, std::string_view after,
                             write_at_proc write_at);

// Writes after over before, the content of path now (created when it does not exist), keeping
// its identity, owner and mode, and reads it back. follow_link: path may be a link, as it was
// at the start.
file_verdict rewrite_file(const char *path, std::string_view before, std::string_view after,
                          bool follow_link);
