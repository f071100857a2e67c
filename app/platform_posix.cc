// The system on POSIX and X11. Stop signals raise the flag; Xlib's report of a lost display runs
// the program's handler, which never returns (Xlib exits when it does, and the library's exit
// handlers then use the dead connection); held keys repeat as presses alone; the message box
// (xmessage) gets its text in lines it can show; the monitors' sizes come from Xinerama. Files: a
// flock on the directory, memory files for the trial saves, and the in-place write's primitives,
// room reserved by fallocate.
#include <allegro.h>
// The library's header first, in a group of its own: Xlib's macros come after it.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include "app/platform.h"
#include "app/stop_request.h"
#include "bindings/binding_file.h"
#include "storage/in_place_write.h"

// The library's X11 state: exported but not in its installed headers. It begins with the
// connection the library reads the keyboard from.
struct library_x11_state {
  Display *display;
};
extern "C" library_x11_state _xwin;  // NOLINT: the library's own name

namespace {

constexpr std::array stop_signals = {SIGINT, SIGTERM, SIGHUP};
void (*loss_action)() = nullptr;
std::atomic_flag loss_noticed = ATOMIC_FLAG_INIT;

extern "C" void on_stop_signal(int /*signal*/) {
  request_stop();
}

int on_io_error(Display * /*display*/) {
  // The library's other threads notice too; the first one ends the process.
  if (!loss_noticed.test_and_set()) loss_action();
  for (;;) pause();
}

file_verdict system_problem(file_problem problem, int error) {
  return {problem, 0, 0, error};
}

}  // namespace

std::string display_description() {
  const char *display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') return "";
  return std::string("la pantalla DISPLAY=") + display;
}

std::string message_box_text(const std::string &line) {
  constexpr std::size_t width = 60;
  std::string text;
  std::size_t column = 0;
  for (std::size_t start = 0; start < line.size();) {
    const std::size_t end = std::min(line.find(' ', start), line.size());
    const std::size_t length = end - start;
    if (column > 0) {
      const bool new_line = column + 1 + length > width;
      text += new_line ? '\n' : ' ';
      column = new_line ? 0 : column + 1;
    }
    text.append(line, start, length);
    column += length;
    start = end + 1;
  }
  return text;
}

// Xinerama's heads: on a server with RandR, its monitors. A connection of its own, as the
// library's other threads use theirs.
void smallest_monitor(int &width, int &height) {
  if (get_desktop_resolution(&width, &height) != 0) width = height = 0;
  Display *display = XOpenDisplay(nullptr);
  int heads = 0;
  XineramaScreenInfo *head = display != nullptr && XineramaIsActive(display)
                                 ? XineramaQueryScreens(display, &heads)
                                 : nullptr;
  for (int at = 0; at < heads; ++at) {
    width = at == 0 ? head[at].width : std::min(width, int{head[at].width});
    height = at == 0 ? head[at].height : std::min(height, int{head[at].height});
  }
  if (head != nullptr) XFree(head);
  if (display != nullptr) XCloseDisplay(display);
}

void install_stop_requests() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (const int signal : stop_signals) sigaction(signal, &action, nullptr);
  // A save refused for its size must not kill the program half-way through the file.
  std::signal(SIGXFSZ, SIG_IGN);
}

// The library's own box, started here rather than by the library so that it can be ended: what
// the library runs, xmessage with its arguments, with no signal blocked, and waited for while
// the stop request is watched.
void show_message_box(const std::string &line) {
  // A final line break keeps xmessage from reading a text that starts with '-' as an option.
  const std::string text = message_box_text(line) + "\n";
  const pid_t box = fork();
  if (box == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execlp("xmessage", "xmessage", "-buttons", "OK:101", "-default", "OK", "-center", text.c_str(),
           static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  while (box > 0 && waitpid(box, &status, WNOHANG) == 0) {
    if (stop_requested()) {
      kill(box, SIGTERM);
      waitpid(box, &status, 0);
      return;
    }
    usleep(10000);
  }
}

void block_stop_requests() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : stop_signals) sigaddset(&signals, signal);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
}

void watch_display_loss(void (*on_loss)()) {
  loss_action = on_loss;
  XSetIOErrorHandler(on_io_error);
}

void repeat_held_keys_as_presses() {
  // No connection where the library runs on another system driver (a Linux console).
  if (_xwin.display != nullptr) XkbSetDetectableAutoRepeat(_xwin.display, True, nullptr);
}

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
