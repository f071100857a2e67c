// The shell on POSIX and X11: stop signals raise the flag, Xlib's report of a lost display runs
// the program's handler, which never returns (Xlib exits when it does, and the library's exit
// handlers then use the dead connection), held keys repeat as presses alone, and the message
// box (xmessage) gets its text in lines it can show.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>

#include "app/platform.h"
#include "app/stop_request.h"

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

}  // namespace

bool display_missing() {
  const char *display = std::getenv("DISPLAY");
  return display == nullptr || display[0] == '\0';
}

std::string display_description() {
  const char *display = std::getenv("DISPLAY");
  return std::string("la pantalla DISPLAY=") + (display != nullptr ? display : "");
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
