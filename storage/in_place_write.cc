// The file rewritten in place over the platform's primitives: read back, reserve, write, cut.
#include "storage/in_place_write.h"

#include <cerrno>

#include "app/platform.h"

namespace {

// 0, or the errno of the write that failed.
int write_all(int fd, std::string_view bytes, write_at_proc write_at) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote =
        write_at(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return errno != 0 ? errno : EIO;
    if (wrote == 0) return EIO;
    done += static_cast<std::size_t>(wrote);
  }
  return 0;
}

}  // namespace

int read_from_start(int fd, std::size_t limit, std::string &bytes) {
  bytes.clear();
  char buffer[16384];
  while (bytes.size() <= limit) {
    const ssize_t got = system_read_at(fd, buffer, sizeof buffer, static_cast<off_t>(bytes.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got < 0 ? errno : 0;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return 0;
}

write_outcome write_in_place(int fd, std::string_view before, std::string_view after,
                             write_at_proc write_at) {
  // Room first, so that a full disk refuses the save before any byte changes. The file keeps its
  // length: a crash now leaves no zeros for the game to read. File systems that cannot reserve
  // room this way still refuse the write itself, and the old bytes go back.
  const int room = after.size() > before.size() ? reserve_room(fd, after.size()) : 0;
  if (room != 0) return {room, true};
  int error = write_all(fd, after, write_at);
  if (error == 0) error = cut_and_flush(fd, after.size());
  if (error == 0) return {};
  const bool restored =
      write_all(fd, before, write_at) == 0 && cut_and_flush(fd, before.size()) == 0;
  return {error, restored};
}

file_verdict rewrite_file(const char *path, std::string_view before, std::string_view after,
                          bool follow_link) {
  const int fd = open_in_place(path, follow_link);
  if (fd < 0) return {save_failed, 0, 0, errno};
  file_verdict verdict;
  std::string written;
  if (const int type = file_type(fd); type != regular_file) {
    verdict = {file_not_regular, 0, type};
  } else if (const write_outcome outcome = write_in_place(fd, before, after, system_write_at);
             outcome.error != 0) {
    verdict = {outcome.restored ? save_failed : save_incomplete, 0, 0, outcome.error};
  } else if (read_from_start(fd, after.size(), written) != 0 || written != after) {
    // Read back through the same open file: an editor's save that renames a new file into place
    // meanwhile is no failure of this one.
    verdict = {save_unverified};
  }
  close_file(fd);
  return verdict;
}
