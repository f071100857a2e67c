// Rewriting an open file's bytes in place, so that it keeps its inode, owner and mode, with the
// earlier bytes put back when a write fails half-way.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>

// How bytes reach the file at an offset: pwrite, or a stand-in that fails on purpose.
using write_at_proc = ssize_t (*)(int fd, const void *bytes, std::size_t size, off_t offset);

struct write_outcome {
  int error = 0;          // errno of the failed step; 0 when after is on disk
  bool restored = false;  // on failure: before is back as it was
};

// Replaces before (the file's content now) with after in fd, open for writing, and flushes it
// to the disk.
write_outcome write_in_place(int fd, std::string_view before, std::string_view after,
                             write_at_proc write_at);
