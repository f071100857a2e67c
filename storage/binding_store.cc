// The file's safety on disk: the directory lock, the link the file was at the start, room and
// the size limit, and the in-place write of what the trial save decided.
#include "storage/binding_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <mutex>
#include <string>

#include "bindings/key_names.h"
#include "storage/byte_check.h"
#include "storage/in_place_write.h"

namespace {

bool file_was_link = false;
std::string link_target;
// The display-loss path saves from another thread; a save of the main loop may be under way.
std::mutex save_mutex;

// The process's file-size limit (ulimit -f), which the memory files of the trial save count
// against too.
std::size_t file_size_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return static_cast<std::size_t>(-1);
  return static_cast<std::size_t>(limit.rlim_cur);
}

std::string link_target_of(const char *path) {
  char target[PATH_MAX];
  const ssize_t length = readlink(path, target, sizeof target);
  return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

// The file as it is now. An editor that saved it by renaming a new file into place made an
// ordinary edit; a link that appeared or now points elsewhere is never written through.
file_verdict read_current(std::string &bytes, bool &exists) {
  struct stat status {};
  exists = lstat(binding_file_name, &status) == 0;
  if (exists && S_ISLNK(status.st_mode) &&
      (!file_was_link || link_target_of(binding_file_name) != link_target))
    return {file_swapped_for_link};
  return read_binding_file(binding_file_name, bytes);
}

// What the library saves for the keys, within the cap and the file-size limit.
file_verdict saved_text(std::string_view text, int player, const key_codes &codes,
                        std::string &saved) {
  const file_verdict verdict = trial_save(text, player, codes, saved);
  if (verdict.problem == trial_save_failed && verdict.system_error == EFBIG)
    return {save_over_size_limit};
  if (verdict.problem != file_ok) return verdict;
  // The library's writer checks nothing: a text cut at the limit must not pass for the save.
  if (saved.size() >= file_size_limit()) return {save_over_size_limit};
  if (saved.size() > binding_file_size_cap) return {save_too_large};
  return check_bytes(saved);
}

// Whether the disk has room for saved beyond what the file already holds there.
bool room_for(std::string_view saved, bool exists) {
  struct stat status {};
  struct statvfs disk {};
  if ((exists && stat(binding_file_name, &status) != 0) || statvfs(".", &disk) != 0) return true;
  const auto block = static_cast<std::size_t>(disk.f_frsize);
  const std::size_t held = exists ? static_cast<std::size_t>(status.st_blocks) * 512 : 0;
  const std::size_t needed = (saved.size() + block - 1) / block * block;
  // Root may use the blocks kept back for it.
  const auto available =
      static_cast<std::size_t>(geteuid() == 0 ? disk.f_bfree : disk.f_bavail) * block;
  return needed <= held || needed - held <= available;
}

file_verdict rewrite_file(std::string_view before, std::string_view after, bool exists) {
  int flags = O_WRONLY | O_NONBLOCK | O_CLOEXEC;
  if (!file_was_link) flags |= O_NOFOLLOW;
  // Created as the library would; an existing file keeps its inode, owner and mode.
  if (!exists) flags |= O_CREAT | O_EXCL;
  const int fd = open(binding_file_name, flags, 0666);
  if (fd < 0) return {save_failed, 0, 0, errno};
  struct stat status {};
  file_verdict verdict;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    verdict = {file_not_regular, 0, static_cast<int>(status.st_mode & S_IFMT)};
  } else {
    const write_outcome outcome = write_in_place(fd, before, after, pwrite);
    if (outcome.error != 0)
      verdict = {outcome.restored ? save_failed : save_incomplete, 0, 0, outcome.error};
  }
  close(fd);
  return verdict;
}

}  // namespace

file_verdict open_binding_store() {
  char directory[PATH_MAX];
  if (getcwd(directory, sizeof directory) == nullptr) {
    const int error = errno;
    // Nothing is saved here any more, and the message box's helper will not start in it.
    if (chdir("/") != 0) { /* the message still reaches stderr */
    }
    return {directory_gone, 0, 0, error};
  }
  // Held until exit on the directory, which exists even when the file does not yet.
  const int directory_fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd < 0 || flock(directory_fd, LOCK_EX | LOCK_NB) != 0)
    return errno == EWOULDBLOCK ? file_verdict{directory_in_use}
                                : file_verdict{directory_not_lockable, 0, 0, errno};
  struct stat status {};
  file_was_link = lstat(binding_file_name, &status) == 0 && S_ISLNK(status.st_mode);
  if (file_was_link) link_target = link_target_of(binding_file_name);
  std::string bytes;
  return read_binding_file(binding_file_name, bytes);
}

file_verdict check_before_capture(int player) {
  std::string bytes;
  bool exists = false;
  const file_verdict verdict = read_current(bytes, exists);
  if (verdict.problem != file_ok) return verdict;
  // Where the keys land depends on which keys exist, not on their values; the widest values
  // give the most room the save can need.
  key_codes widest{};
  widest.fill(100);
  std::string saved;
  const file_verdict judged = saved_text(bytes, player, widest, saved);
  if (judged.problem != file_ok) return judged;
  return room_for(saved, exists) ? file_verdict{} : file_verdict{save_no_room, 0, 0, ENOSPC};
}

file_verdict save_keys(int player, const key_codes &codes) {
  const std::lock_guard<std::mutex> lock(save_mutex);
  if (std::all_of(codes.begin(), codes.end(), [](int code) { return code == no_file_scancode; }))
    return {};
  std::string before;
  bool exists = false;
  file_verdict verdict = read_current(before, exists);
  if (verdict.problem != file_ok) return verdict;
  std::string after;
  verdict = saved_text(before, player, codes, after);
  if (verdict.problem != file_ok) return verdict;
  // Nothing set, nothing written: the library rewrites every line it saves.
  if (after == before && exists) return {};
  verdict = rewrite_file(before, after, exists);
  if (verdict.problem != file_ok) return verdict;
  std::string written;
  if (read_binding_file(binding_file_name, written).problem != file_ok || written != after)
    return {save_unverified};
  return {};
}
