// The file system on POSIX: a flock on the directory, memory files for the trial saves, and the
// in-place write's primitives, room reserved by fallocate.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "bindings/binding_file.h"
#include "storage/in_place_write.h"
#include "storage/platform.h"

namespace {

file_verdict system_problem(file_problem problem, int error) {
  return {problem, 0, 0, error};
}

}  // namespace

file_verdict check_current_directory() {
  char directory[PATH_MAX];
  struct stat status {};
  // In a removed directory access(".", W_OK) still succeeds; getcwd and the link count tell.
  int error = ENOENT;
  if (getcwd(directory, sizeof directory) == nullptr || stat(".", &status) != 0)
    error = errno;
  else if (status.st_nlink > 0)
    return {};
  // Nothing is saved here any more, and the message box's helper will not start in it.
  if (chdir("/") != 0) { /* the message still reaches stderr */
  }
  return system_problem(directory_gone, error);
}

file_verdict lock_current_directory() {
  // On the directory, which exists even when the file does not yet; never closed.
  const int directory_fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd < 0 || flock(directory_fd, LOCK_EX | LOCK_NB) != 0)
    return errno == EWOULDBLOCK ? file_verdict{directory_in_use}
                                : system_problem(directory_not_lockable, errno);
  return {};
}

std::string link_target(const char *path) {
  struct stat status {};
  char target[PATH_MAX];
  const ssize_t length = lstat(path, &status) == 0 && S_ISLNK(status.st_mode)
                             ? readlink(path, target, sizeof target)
                             : -1;
  return length <= 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

file_verdict read_file(const char *path, std::string &bytes) {
  bytes.clear();
  struct stat status {};
  if (stat(path, &status) != 0) {
    if (errno != ENOENT) return system_problem(file_unreadable, errno);
    if (lstat(path, &status) == 0) return {file_dangling_link};
    // The library creates the file when it first saves it.
    if (access(".", W_OK | X_OK) != 0) return system_problem(directory_not_writable, errno);
    return {};
  }
  if (S_ISREG(status.st_mode) && static_cast<std::size_t>(status.st_size) > binding_file_size_cap)
    return {file_too_large};
  if (S_ISREG(status.st_mode) && access(path, W_OK) != 0)
    return system_problem(file_not_writable, errno);
  // O_NONBLOCK: should the file be swapped for a FIFO since the stat, opening still returns.
  const int fd = S_ISREG(status.st_mode) ? open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
  if (fd >= 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    // Past the cap is enough to refuse it, should the file still be growing.
    const int error = read_from_start(fd, binding_file_size_cap, bytes);
    close(fd);
    return error == 0 ? file_verdict{} : system_problem(file_unreadable, error);
  }
  const int error = errno;
  if (fd >= 0) close(fd);
  if (S_ISREG(status.st_mode)) return system_problem(file_unreadable, error);
  return {file_not_regular, 0, static_cast<int>(status.st_mode & S_IFMT)};
}

int make_scratch_file(std::string_view text, std::string &path, int &handle) {
  handle = memfd_create(binding_file_name, MFD_CLOEXEC);
  if (handle < 0) return errno;
  const write_outcome put = write_in_place(handle, "", text, system_write_at);
  if (put.error != 0) close(handle);
  path = "/proc/self/fd/" + std::to_string(handle);
  return put.error;
}

int take_scratch_file(const std::string & /*path*/, int handle, std::string &bytes) {
  const int error = read_from_start(handle, static_cast<std::size_t>(-1) - 1, bytes);
  close(handle);
  return error;
}

bool in_temporary_folder() {
  return false;  // a game may live anywhere, even under /tmp
}

ssize_t system_write_at(int fd, const void *bytes, std::size_t size, off_t offset) {
  return pwrite(fd, bytes, size, offset);
}

bool room_for(const char *path, std::size_t size) {
  struct stat status {};
  struct statvfs disk {};
  if (statvfs(".", &disk) != 0) return true;
  const auto block = static_cast<std::size_t>(disk.f_frsize);
  const std::size_t held =
      stat(path, &status) == 0 ? static_cast<std::size_t>(status.st_blocks) * 512 : 0;
  const std::size_t needed = (size + block - 1) / block * block;
  // Root may use the blocks kept back for it.
  const auto available =
      static_cast<std::size_t>(geteuid() == 0 ? disk.f_bfree : disk.f_bavail) * block;
  return needed <= held || needed - held <= available;
}

std::size_t file_size_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return static_cast<std::size_t>(-1);
  return static_cast<std::size_t>(limit.rlim_cur);
}

int open_in_place(const char *path, bool follow_link) {
  struct stat status {};
  int flags = O_RDWR | O_NONBLOCK | O_CLOEXEC;
  if (!follow_link) flags |= O_NOFOLLOW;
  // Created with the mode the library would give it.
  if (lstat(path, &status) != 0) flags |= O_CREAT | O_EXCL;
  return open(path, flags, 0666);
}

int file_type(int fd) {
  struct stat status {};
  return fstat(fd, &status) == 0 ? static_cast<int>(status.st_mode & S_IFMT) : 0;
}

int reserve_room(int fd, std::size_t size) {
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0) return 0;
  return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
}

ssize_t system_read_at(int fd, void *bytes, std::size_t size, off_t offset) {
  return pread(fd, bytes, size, offset);
}

int cut_and_flush(int fd, std::size_t size) {
  return ftruncate(fd, static_cast<off_t>(size)) == 0 && fsync(fd) == 0 ? 0 : errno;
}

void close_file(int fd) {
  close(fd);
}
