// Drives the real program on a virtual X display: starts Xvfb and the program, presses keys
// through XTest, and reads the program's window back.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "screen_image.h"

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// The one Xvfb of this test process, started on first use and ended with the process.
const std::string &virtual_display_name();

// The viewable 320x240 window that shows the program's screen, or 0; the display runs
// nothing but the program.
Window find_program_screen(Display *display);

// brumo-setup running in its own directory; killed when this goes out of scope.
class program_process {
 public:
  // display empty: started with no DISPLAY at all.
  // unprivileged: when the tests run as root, run the program as nobody, for whom file
  // permissions hold.
  program_process(const std::string &work_dir, const std::string &log_dir,
                  const std::string &display, bool unprivileged = false);
  ~program_process();
  program_process(const program_process &) = delete;
  program_process &operator=(const program_process &) = delete;

  // The exit status once the program has ended, or nothing after the timeout.
  std::optional<int> wait_for_exit(milliseconds timeout);
  bool running();
  void send_signal(int signal) const;
  std::string error_output() const;
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
  std::optional<int> status_;
  std::string log_dir_;
};

// One connection to the display, closed properly so that no key event is lost.
class x_client {
 public:
  explicit x_client(const std::string &display);
  ~x_client();
  x_client(const x_client &) = delete;
  x_client &operator=(const x_client &) = delete;

  // Waits for the program's window to be on the screen and gives it the keyboard.
  bool find_program_window(milliseconds timeout);

  // Like a person: down, held about 80 ms, up. key is an X keysym name ("1", "Left", "a").
  void press(const std::string &key, milliseconds hold = 80ms);
  void key_down(const std::string &key);
  void key_up(const std::string &key);

 private:
  void fake_key(const std::string &key, bool down);
  Display *display_ = nullptr;
  Window window_ = 0;  // shows the screen
  Window titled_ = 0;  // carries the title and takes the close request
};
