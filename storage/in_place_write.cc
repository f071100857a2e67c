// The in-place write: room reserved without changing the file's size, the bytes written over the
// old ones, the file cut to the new length, and the old bytes written back if any step fails.
#include "storage/in_place_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool write_all(int fd, std::string_view bytes, write_at_proc write_at) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote =
        write_at(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      if (wrote == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

write_outcome write_in_place(int fd, std::string_view before, std::string_view after,
                             write_at_proc write_at) {
  // Room first, so that a full disk refuses the save before any byte changes. The file keeps its
  // length: a crash now leaves no zeros for the game to read. File systems that cannot reserve
  // room this way still refuse the write itself, and the old bytes go back.
  if (after.size() > before.size() &&
      fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(after.size())) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS)
    return {errno, true};
  if (write_all(fd, after, write_at) && ftruncate(fd, static_cast<off_t>(after.size())) == 0 &&
      fsync(fd) == 0)
    return {};
  const int error = errno;
  const bool restored = write_all(fd, before, write_at) &&
                        ftruncate(fd, static_cast<off_t>(before.size())) == 0 && fsync(fd) == 0;
  return {error, restored};
}
