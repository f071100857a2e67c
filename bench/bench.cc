// The benchmark behind `make bench`: runs the real brumo-setup on the virtual display several
// times, plays it with XTest key presses and times what its screen shows, all from outside.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "screen_image.h"
#include "x_harness.h"

namespace {

using steady = std::chrono::steady_clock;

constexpr int default_runs = 5;
// Two samples of 5 s tell the idle cost well enough; one in every run would double the bench.
constexpr int idle_samples = 2;
constexpr auto idle_span = 5s;
constexpr auto poll_pause = 1ms;
// Lets the program finish its own 50 ms pause and the file flush after the seventh key, so
// the closing key is timed from a program already waiting for it.
constexpr auto settle_before_closing_key = 200ms;

volatile std::sig_atomic_t interrupted = 0;

void on_interrupt(int /*signal*/) {
  interrupted = 1;
}

// A run that cannot go on: the program is missing, never showed a screen, or the bench was
// interrupted.
struct bench_failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void check_interrupted() {
  if (interrupted != 0) throw bench_failure("interrupted");
}

double ms_between(steady::time_point from, steady::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

struct key_press {
  std::string x_key;  // the X keysym name to press
  std::string name;   // the name the program must show for it
};

const std::vector<key_press> capture_keys = {
    {"Up", "ARRIBA"}, {"Down", "ABAJO"}, {"Left", "IZQUIERDA"}, {"Right", "DERECHA"}, {"a", "A"},
    {"s", "S"},       {"d", "D"},
};

// Each key's name sits on its action's row, ten pixels high, from y = 10.
constexpr int row_height = 10;
int row_top(std::size_t action) {
  return 10 + row_height * static_cast<int>(action);
}

// The capture screen once the first `taken` keys were named.
screen_image capture_screen_after(std::size_t taken) {
  std::string call = "capture_lines";
  for (std::size_t i = 0; i < taken; ++i) call += std::string(" ") + capture_keys[i].name;
  return expected_screen(call);
}

// Reads the program's window on a connection of its own: the harness looks for the window and
// at the screen every 10 ms, and one plain read of the whole screen costs it well over a
// millisecond; through shared memory a read costs tens of microseconds, so polls can be close.
class screen_probe {
 public:
  explicit screen_probe(const std::string &display) {
    // A window that vanishes between two requests must not end the bench.
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) throw bench_failure("cannot open display " + display);
  }
  ~screen_probe() {
    if (shared_ != nullptr) {
      XShmDetach(display_, &segment_);
      XSync(display_, False);
      shared_->data = nullptr;  // not XDestroyImage's to free
      XDestroyImage(shared_);
      shmdt(segment_.shmaddr);
    }
    XCloseDisplay(display_);
  }
  screen_probe(const screen_probe &) = delete;
  screen_probe &operator=(const screen_probe &) = delete;

  // Whether rows [top, top + rows) of the window are those of expected, in one read.
  bool shows(const screen_image &expected, int top = 0, int rows = screen_height) {
    if (window_ == 0 && !find_window()) return false;
    XImage *image = nullptr;
    if (shared_ != nullptr)
      image = XShmGetImage(display_, window_, shared_, 0, 0, AllPlanes) != 0 ? shared_ : nullptr;
    else
      image = XGetImage(display_, window_, 0, 0, screen_width, screen_height, AllPlanes, ZPixmap);
    if (image == nullptr) {
      window_ = 0;  // gone or not viewable yet: look for it again next time
      return false;
    }
    const bool plain = image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
    bool same = true;
    for (int y = top; y < top + rows && same; ++y) {
      const auto *line = reinterpret_cast<const unsigned char *>(image->data) +
                         static_cast<std::ptrdiff_t>(y) * image->bytes_per_line;
      for (int x = 0; x < screen_width && same; ++x) {
        const std::size_t at = 4 * static_cast<std::size_t>(x);
        // XGetPixel per pixel would cost about a millisecond a read on its own.
        const std::uint32_t pixel =
            plain ? static_cast<std::uint32_t>(line[at] | line[at + 1] << 8 | line[at + 2] << 16)
                  : static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff);
        same = pixel ==
               expected[static_cast<std::size_t>(y) * screen_width + static_cast<std::size_t>(x)];
      }
    }
    if (image != shared_) XDestroyImage(image);
    return same;
  }

 private:
  bool find_window() {
    window_ = find_program_screen(display_);
    XWindowAttributes attributes;
    if (window_ == 0 || XGetWindowAttributes(display_, window_, &attributes) == 0) return false;
    if (shared_ == nullptr && XShmQueryExtension(display_) == True) share(attributes);
    return true;
  }

  // Without it, reads fall back to the plain request.
  void share(const XWindowAttributes &attributes) {
    XImage *image =
        XShmCreateImage(display_, attributes.visual, static_cast<unsigned>(attributes.depth),
                        ZPixmap, nullptr, &segment_, screen_width, screen_height);
    if (image == nullptr) return;
    segment_.shmid = shmget(
        IPC_PRIVATE,
        static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(image->height),
        IPC_CREAT | 0600);
    void *memory = segment_.shmid < 0 ? nullptr : shmat(segment_.shmid, nullptr, 0);
    if (memory == nullptr || reinterpret_cast<std::intptr_t>(memory) == -1) {
      if (segment_.shmid >= 0) shmctl(segment_.shmid, IPC_RMID, nullptr);
      XDestroyImage(image);
      return;
    }
    segment_.shmaddr = image->data = static_cast<char *>(memory);
    segment_.readOnly = False;
    XShmAttach(display_, &segment_);
    XSync(display_, False);
    // Once both ends are attached: the segment then goes with them, even if the bench dies.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    shared_ = image;
  }

  Display *display_ = nullptr;
  Window window_ = 0;
  XShmSegmentInfo segment_{};
  XImage *shared_ = nullptr;
};

// How fast the screen is really polled, to tell how precise the times are.
struct poll_record {
  long reads = 0;
  long intervals = 0;  // between two reads of the same wait
  double read_ms = 0;
  double span_ms = 0;
};
poll_record polls;

// Polls until seen() holds; the time is that of the start of the first read that saw it, so each
// figure is good to about one poll period.
template <typename Seen>
double ms_until(steady::time_point from, milliseconds timeout, const std::string &what,
                const Seen &seen) {
  const auto deadline = steady::now() + timeout;
  const auto first = steady::now();
  for (long read = 0;; ++read) {
    check_interrupted();
    const auto start = steady::now();
    const bool done = seen();
    const auto end = steady::now();
    ++polls.reads;
    polls.read_ms += ms_between(start, end);
    if (done) {
      polls.span_ms += ms_between(first, start);
      polls.intervals += read;
      return ms_between(from, start);
    }
    if (end > deadline) throw bench_failure(what + " never came");
    std::this_thread::sleep_for(poll_pause);
  }
}

// utime + stime of all the process's threads, in clock ticks.
long cpu_ticks(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The command name in parentheses may hold spaces; the fields counted start after it.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0;
  long stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

// VmHWM, the peak resident set so far, in kB.
long peak_resident_kb(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

void sleep_interruptibly(steady::duration span) {
  const auto until = steady::now() + span;
  while (steady::now() < until) {
    check_interrupted();
    std::this_thread::sleep_for(10ms);
  }
}

// A fresh directory for one run, gone with it whatever happens.
class run_directory {
 public:
  run_directory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brumo-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw bench_failure("cannot make a temporary dir");
    path_ = pattern;
    std::filesystem::create_directory(work());
  }
  ~run_directory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  run_directory(const run_directory &) = delete;
  run_directory &operator=(const run_directory &) = delete;
  const std::string &path() const { return path_; }
  std::string work() const { return path_ + "/work"; }

 private:
  std::string path_;
};

std::string read_text(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct samples {
  std::vector<double> startup_ms;
  std::vector<double> idle_percent;
  std::vector<double> hotkey_ms;
  std::vector<double> key_ms;
  std::vector<double> close_ms;
  std::vector<double> esc_ms;
  std::vector<double> memory_mb;
  int warnings = 0;
};

struct expected_screens {
  screen_image menu = expected_screen("menu_lines");
  std::vector<screen_image> capture;
  expected_screens() {
    for (std::size_t taken = 0; taken <= capture_keys.size(); ++taken)
      capture.push_back(capture_screen_after(taken));
  }
};

void warn(samples &all, int run, const std::string &what) {
  std::cerr << "brumo-bench: warning, run " << run << ": " << what << '\n';
  ++all.warnings;
}

void capture_once(x_client &x, screen_probe &probe, const expected_screens &screens,
                  const std::string &hotkey, samples &all) {
  auto pressed = steady::now();
  x.key_down(hotkey);
  all.hotkey_ms.push_back(ms_until(pressed, 5s, "first prompt after " + hotkey,
                                   [&] { return probe.shows(screens.capture[0]); }));
  x.key_up(hotkey);
  for (std::size_t i = 0; i < capture_keys.size(); ++i) {
    ms_until(steady::now(), 5s, "prompt " + std::to_string(i + 1),
             [&] { return probe.shows(screens.capture[i]); });
    // Only the key's own row: the next prompt comes 50 ms later and may or may not be up yet.
    pressed = steady::now();
    x.key_down(capture_keys[i].x_key);
    all.key_ms.push_back(ms_until(pressed, 2s, "name of " + capture_keys[i].x_key, [&] {
      return probe.shows(screens.capture[i + 1], row_top(i), row_height);
    }));
    x.key_up(capture_keys[i].x_key);
  }
  ms_until(steady::now(), 5s, "finished list", [&] { return probe.shows(screens.capture.back()); });
  sleep_interruptibly(settle_before_closing_key);
  pressed = steady::now();
  x.key_down("space");
  all.close_ms.push_back(
      ms_until(pressed, 5s, "menu after the list", [&] { return probe.shows(screens.menu); }));
  x.key_up("space");
}

// On the way out of a failed or interrupted run: the harness would kill the program, and a
// killed program leaves its library's shared screen memory behind in the system.
struct ended_by_request {
  program_process &program;
  ~ended_by_request() {
    if (!program.running()) return;
    program.send_signal(SIGTERM);
    program.wait_for_exit(2s);
  }
};

void one_run(int run, bool sample_idle, const expected_screens &screens, samples &all) {
  const std::string &display = virtual_display_name();
  run_directory directory;
  screen_probe probe(display);

  const auto started = steady::now();
  program_process program(directory.work(), directory.path(), display);
  const ended_by_request ending{program};
  all.startup_ms.push_back(ms_until(started, 10s, "menu", [&] {
    if (!program.running())
      throw bench_failure("the program ended at start-up: " + program.error_output());
    return probe.shows(screens.menu);
  }));

  x_client x(display);
  if (!x.find_program_window(5s)) throw bench_failure("the harness did not find the window");

  if (sample_idle) {
    const long before = cpu_ticks(program.pid());
    const auto from = steady::now();
    sleep_interruptibly(idle_span);
    const long after = cpu_ticks(program.pid());
    const double seconds = std::chrono::duration<double>(steady::now() - from).count();
    all.idle_percent.push_back(100.0 * static_cast<double>(after - before) /
                               static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds);
  }

  capture_once(x, probe, screens, "1", all);
  capture_once(x, probe, screens, "2", all);

  all.memory_mb.push_back(static_cast<double>(peak_resident_kb(program.pid())) / 1024.0);
  const auto pressed = steady::now();
  x.key_down("Escape");
  all.esc_ms.push_back(
      ms_until(pressed, 5s, "end of the process", [&] { return !program.running(); }));
  x.key_up("Escape");

  const std::optional<int> status = program.wait_for_exit(0ms);
  if (status != 0) warn(all, run, "exit status " + std::to_string(status.value_or(-1)));
  const std::string file = read_text(directory.work() + "/brumo.ini");
  if (file.find("[jugador0]") == std::string::npos || file.find("[jugador1]") == std::string::npos)
    warn(all, run, "brumo.ini lacks a player's section:\n" + file);
}

struct summary {
  double median = 0;
  double min = 0;
  double max = 0;
  std::size_t count = 0;
};

summary summarize(std::vector<double> values) {
  summary s;
  s.count = values.size();
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  s.median = values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  s.min = values.front();
  s.max = values.back();
  return s;
}

struct figure {
  std::string key;
  std::string label;
  std::string unit;
  summary values;
  std::optional<double> bar;  // the figure should stay under it
  std::string note;
};

void print_figure(const figure &f) {
  std::printf("%-44s median %7.2f %-2s (min %7.2f, max %7.2f; %2zu samples)", f.label.c_str(),
              f.values.median, f.unit.c_str(), f.values.min, f.values.max, f.values.count);
  if (f.bar)
    std::printf("  bar: median under %g %s, %s", *f.bar, f.unit.c_str(),
                f.values.median < *f.bar ? "met" : "NOT MET");
  if (!f.note.empty()) std::printf("  [%s]", f.note.c_str());
  std::printf("\n");
}

void print_json(const std::vector<figure> &figures, int runs, double poll_ms) {
  std::printf(R"({"runs": %d, "poll_ms": %.2f)", runs, poll_ms);
  for (const figure &f : figures) {
    std::printf(R"(, "%s": {"median": %.2f, "min": %.2f, "max": %.2f, "samples": %zu)",
                f.key.c_str(), f.values.median, f.values.min, f.values.max, f.values.count);
    if (f.bar) std::printf(R"(, "bar": %g)", *f.bar);
    std::printf("}");
  }
  std::printf("}\n");
}

int run_bench(int runs) {
  if (access(BRUMO_SETUP_PATH, X_OK) != 0) {
    std::cerr << "brumo-bench: no program at " << BRUMO_SETUP_PATH << " (make build first)\n";
    return 1;
  }
  const std::string &display = virtual_display_name();
  const expected_screens screens;
  samples all;
  const auto began = steady::now();
  for (int run = 1; run <= runs; ++run) {
    one_run(run, run <= idle_samples, screens, all);
    std::cerr << "brumo-bench: run " << run << " of " << runs << " done\n";
  }
  const double total_s = ms_between(began, steady::now()) / 1000.0;
  const double read_ms = polls.read_ms / static_cast<double>(std::max(polls.reads, 1L));
  const double poll_ms = polls.span_ms / static_cast<double>(std::max(polls.intervals, 1L));

  const std::vector<figure> figures = {
      {"startup_ms", "start-up: exec to first full menu frame", "ms", summarize(all.startup_ms),
       100, ""},
      {"idle_cpu_percent", "menu idle: CPU over 5 s", "% of a core", summarize(all.idle_percent), 4,
       "utime+stime"},
      {"hotkey_to_prompt_ms", "hotkey to first prompt", "ms", summarize(all.hotkey_ms),
       std::nullopt, "150 ms of it are the program's own pauses"},
      {"key_to_name_ms", "key down to its name during a capture", "ms", summarize(all.key_ms), 30,
       ""},
      {"close_to_menu_ms", "closing key to menu back", "ms", summarize(all.close_ms), 40, ""},
      {"esc_to_exit_ms", "ESC to process ended, file written", "ms", summarize(all.esc_ms), 100,
       ""},
      {"peak_rss_mb", "peak resident memory (VmHWM before ESC)", "MB", summarize(all.memory_mb), 10,
       "1 MB = 1024 kB"},
  };
  std::printf(
      "brumo-bench: %d runs of %s on Xvfb %s in %.1f s; screen polled every %.2f ms "
      "(one read %.2f ms): times are good to about that\n",
      runs, BRUMO_SETUP_PATH, display.c_str(), total_s, poll_ms, read_ms);
  for (const figure &f : figures) print_figure(f);
  if (all.warnings > 0) std::printf("%d warning(s) above: the program misbehaved\n", all.warnings);
  print_json(figures, runs, poll_ms);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  long runs = default_runs;
  char *end = nullptr;
  if (argc > 1) runs = std::strtol(argv[1], &end, 10);
  if (argc > 2 || runs < 1 || runs > 100 || (end != nullptr && *end != '\0')) {
    std::cerr << "usage: brumo-bench [runs]\n";
    return 2;
  }
  std::signal(SIGINT, on_interrupt);
  std::signal(SIGTERM, on_interrupt);
  try {
    return run_bench(static_cast<int>(runs));
  } catch (const std::exception &error) {
    std::cerr << "brumo-bench: could not run: " << error.what() << '\n';
    return interrupted != 0 ? 130 : 1;
  }
}
