// Xvfb, the program under test and the X client that plays the player.
#include "x_harness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifndef BRUMO_SETUP_PATH
#error "BRUMO_SETUP_PATH must name the program under test"
#endif

namespace {

constexpr const char *program_title = "Brumo vs Tuk";
constexpr milliseconds poll_interval = 10ms;

// Children die with the test process even when it crashes.
void die_with_parent() {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
}

class xvfb_process {
 public:
  xvfb_process() {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
      die_with_parent();
      close(fds[0]);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten",
             "tcp", "-noreset", static_cast<char *>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty())
      throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
    name_ = ":" + number;
  }
  ~xvfb_process() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  xvfb_process(const xvfb_process &) = delete;
  xvfb_process &operator=(const xvfb_process &) = delete;
  const std::string &name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A window that vanishes between two requests must not end the test process.
int ignore_x_error(Display * /*display*/, XErrorEvent * /*error*/) {
  return 0;
}

std::string title_of(Display *display, Window window) {
  char *name = nullptr;
  std::string title;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

// Depth-first over the window tree: the first window that answers match.
template <typename Match>
Window find_window(Display *display, Window parent, const Match &match) {
  Window root = 0;
  Window parent_of = 0;
  Window *children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, parent, &root, &parent_of, &children, &count) == 0) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i)
    found = match(children[i]) ? children[i] : find_window(display, children[i], match);
  if (children != nullptr) XFree(children);
  return found;
}

bool shows_320x240(Display *display, Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(display, window, &attributes) != 0 &&
         attributes.map_state == IsViewable && attributes.width == screen_width &&
         attributes.height == screen_height;
}

// A killed program cannot free the shared-memory segment of its screen; nobody else will.
void remove_shared_memory_of(pid_t pid) {
  shmid_ds info{};
  const int highest = shmctl(0, SHM_INFO, &info);
  for (int index = 0; index <= highest; ++index) {
    shmid_ds segment{};
    const int id = shmctl(index, SHM_STAT, &segment);
    if (id >= 0 && segment.shm_cpid == pid && segment.shm_nattch == 0)
      shmctl(id, IPC_RMID, nullptr);
  }
}

// The build may sit where nobody cannot go (a checkout under /root, mode 700), so nobody runs a
// copy in a fresh directory of the temporary area, open to all, removed when the tests end.
class program_copy {
 public:
  program_copy() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "brumo-program-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("cannot make a directory for a copy of the program");
    dir_ = pattern;
    path_ = dir_ + "/brumo-setup";
    std::error_code error;
    std::filesystem::copy_file(BRUMO_SETUP_PATH, path_, error);
    if (error || chmod(dir_.c_str(), 0755) != 0 || chmod(path_.c_str(), 0755) != 0)
      throw std::runtime_error("cannot copy " + std::string(BRUMO_SETUP_PATH) + " to " + dir_);
  }
  ~program_copy() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  program_copy(const program_copy &) = delete;
  program_copy &operator=(const program_copy &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

}  // namespace

Window find_program_screen(Display *display) {
  return find_window(display, DefaultRootWindow(display),
                     [&](Window w) { return shows_320x240(display, w); });
}

const std::string &virtual_display_name() {
  static const xvfb_process display;
  return display.name();
}

program_process::program_process(const std::string &work_dir, const std::string &log_dir,
                                 const std::string &display, bool unprivileged)
    : log_dir_(log_dir) {
  constexpr uid_t nobody = 65534;
  const bool as_nobody = unprivileged && geteuid() == 0;
  std::string program = BRUMO_SETUP_PATH;
  if (as_nobody) {
    static const program_copy copy;
    program = copy.path();
  }
  pid_ = fork();
  if (pid_ == 0) {
    die_with_parent();
    const int out = open((log_dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open((log_dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (as_nobody && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
      _exit(125);
    if (chdir(work_dir.c_str()) != 0) _exit(126);
    if (display.empty())
      unsetenv("DISPLAY");
    else
      setenv("DISPLAY", display.c_str(), 1);
    execl(program.c_str(), "brumo-setup", static_cast<char *>(nullptr));
    _exit(127);
  }
}

program_process::~program_process() {
  if (!running()) return;
  // SIGTERM first: the library then frees its shared-memory screen, which a kill would leak.
  kill(pid_, SIGTERM);
  if (wait_for_exit(2s)) return;
  kill(pid_, SIGKILL);
  wait_for_exit(2s);
}

bool program_process::running() {
  if (status_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (WIFSIGNALED(status)) remove_shared_memory_of(pid_);
    return false;
  }
  return true;
}

std::optional<int> program_process::wait_for_exit(milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(poll_interval);
  return status_;
}

void program_process::send_signal(int signal) const {
  kill(pid_, signal);
}

std::string program_process::error_output() const {
  return read_file(log_dir_ + "/stderr");
}

x_client::x_client(const std::string &display) {
  XSetErrorHandler(ignore_x_error);
  display_ = XOpenDisplay(display.c_str());
  if (display_ == nullptr) throw std::runtime_error("cannot open display " + display);
}

x_client::~x_client() {
  XSync(display_, False);
  XCloseDisplay(display_);
}

bool x_client::find_program_window(milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Window root = DefaultRootWindow(display_);
  while (std::chrono::steady_clock::now() < deadline) {
    // The library may show the screen in its titled window or, full screen, in a child of a
    // window of its own; the display runs nothing else.
    titled_ = find_window(display_, root,
                          [&](Window w) { return title_of(display_, w) == program_title; });
    window_ = find_program_screen(display_);
    if (titled_ != 0 && window_ != 0) {
      XSetInputFocus(display_, window_, RevertToPointerRoot, CurrentTime);
      XSync(display_, False);
      return true;
    }
    std::this_thread::sleep_for(poll_interval);
  }
  return false;
}

void x_client::fake_key(const std::string &key, bool down) {
  const KeySym symbol = XStringToKeysym(key.c_str());
  const KeyCode code = XKeysymToKeycode(display_, symbol);
  if (symbol == NoSymbol || code == 0) throw std::invalid_argument("no key named " + key);
  XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
  XSync(display_, False);
}

void x_client::key_down(const std::string &key) {
  fake_key(key, true);
}
void x_client::key_up(const std::string &key) {
  fake_key(key, false);
}

void x_client::press(const std::string &key, milliseconds hold) {
  key_down(key);
  std::this_thread::sleep_for(hold);
  key_up(key);
}

namespace {}  // namespace
