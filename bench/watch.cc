// The bench's screen watcher: polls the window (by default the screen's top left 320K x 240K)
// about every millisecond through shared memory, and plays steps, each right after the one before:
//   bench_watch [-f K] [-w WINDOW] [-s READY] ([-b BEFORE] [-z MS] [-k KEY] [-r TOP,ROWS]
//               AFTER|-p PID)...
// K: the program's factor (1 unless given); the pictures are raw RGB from screen_helper render K,
// and TOP and ROWS count the picture's rows (each K on the screen). A step waits for BEFORE, then
// MS; presses KEY (a keysym, through XTest); times until rows from TOP show AFTER or PID has
// ended; lets go; prints that time (no KEY: its Unix time) in ms and PID's VmHWM in kB before KEY
// (or -1). Last: reads and polls.
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <sys/shm.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using steady = std::chrono::steady_clock;
int width = 320, height = 240;  // the window's, at the factor
Display *display = nullptr;
Drawable drawable = 0;
XImage *image = nullptr;
long reads = 0, intervals = 0;
double read_ms = 0, span_ms = 0;

[[noreturn]] void fail(const std::string &why) {
  std::fprintf(stderr, "bench_watch: %s\n", why.c_str());
  std::exit(1);
}

double ms(std::chrono::nanoseconds span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

// "" for a file gone; a read that fails midway (a process ended) ends the text there.
std::string text_of(const std::string &path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// Whether rows [top, top + rows) are those of rgb; a window not on the screen shows nothing.
bool shows(const std::string &rgb, int top, int rows) {
  if (XShmGetImage(display, drawable, image, 0, 0, AllPlanes) == 0) return false;
  for (int y = top; y < top + rows; ++y) {
    const char *got = image->data + y * image->bytes_per_line;  // B, G, R, unused
    for (const char *want = &rgb[3 * width * y], *end = want + 3 * width; want < end;
         want += 3, got += 4)
      if (got[0] != want[2] || got[1] != want[1] || got[2] != want[0]) return false;
  }
  return true;
}

template <typename Seen>
steady::time_point until(const std::string &what, const Seen &seen) {
  const auto first = steady::now();
  for (long read = 0;; ++read, std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
    const auto start = steady::now();
    const bool done = seen();
    const auto end = steady::now();
    ++reads;
    read_ms += ms(end - start);
    if (done) {
      intervals += read;
      span_ms += ms(start - first);
      return start;
    }
    if (end - first > std::chrono::seconds(10)) fail(what + " never came in 10 s");
  }
}

struct step {
  std::string before, key, pid, after;
  int pause_ms = 0, top = 0, rows = 240;
};

}  // namespace

int main(int argc, char **argv) {
  std::string window, ready;
  std::vector<step> steps(1);
  int factor = 1;
  while (optind < argc) {
    const int option = getopt(argc, argv, "+f:w:s:b:z:k:r:p:");
    step &now = steps.back();
    if (option == -1) now.after = text_of(argv[optind++]);
    if (option == 'f') factor = static_cast<int>(std::strtol(optarg, nullptr, 10));
    if (option == 'w') window = optarg;
    if (option == 's') ready = optarg;
    if (option == 'b') now.before = text_of(optarg);
    if (option == 'z') now.pause_ms = std::atoi(optarg);
    if (option == 'k') now.key = optarg;
    if (option == 'r' && std::sscanf(optarg, "%d,%d", &now.top, &now.rows) != 2) return 2;
    if (option == 'p') now.pid = optarg;
    if (option == '?') return 2;
    if (option != -1 && option != 'p') continue;  // AFTER or PID ends a step
    steps.emplace_back();
  }
  steps.pop_back();
  if (factor < 1 || factor > 16) fail("the factor is 1 to 16");
  width *= factor;
  height *= factor;
  const std::size_t size = 3UL * static_cast<unsigned>(width * height);
  for (step &s : steps) {
    s.top *= factor;
    s.rows *= factor;
    if ((s.after.size() == size) == !s.pid.empty() ||
        (!s.before.empty() && s.before.size() != size) || s.top < 0 || s.rows < 1 ||
        s.top + s.rows > height)
      fail("wrong arguments or pictures: see the top of bench/watch.cc");
  }
  display = XOpenDisplay(nullptr);
  if (display == nullptr) fail("no display");
  XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
  drawable = window.empty() ? DefaultRootWindow(display) : std::stoul(window);
  // One segment for all reads, marked for removal once both ends hold it: it goes with them.
  XShmSegmentInfo segment{};
  image = XShmCreateImage(display, DefaultVisual(display, DefaultScreen(display)),
                          static_cast<unsigned>(DefaultDepth(display, DefaultScreen(display))),
                          ZPixmap, nullptr, &segment, static_cast<unsigned>(width),
                          static_cast<unsigned>(height));
  if (image == nullptr || image->bits_per_pixel != 32 || image->byte_order != LSBFirst)
    fail("the display has no 32-bit shared-memory pictures");
  segment.shmid = shmget(
      IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * static_cast<unsigned>(height),
      IPC_CREAT | 0600);
  if (segment.shmid < 0) fail("no shared memory");
  segment.shmaddr = image->data = static_cast<char *>(shmat(segment.shmid, nullptr, 0));
  XShmAttach(display, &segment);
  XSync(display, False);
  shmctl(segment.shmid, IPC_RMID, nullptr);
  if (!ready.empty() && !std::ofstream(ready)) fail("cannot write " + ready);
  for (const step &s : steps) {
    const KeyCode code =
        s.key.empty() ? 0 : XKeysymToKeycode(display, XStringToKeysym(s.key.c_str()));
    if (code == 0 && !s.key.empty()) fail("no key for " + s.key);
    if (!s.before.empty()) until("the screen before", [&] { return shows(s.before, 0, height); });
    std::this_thread::sleep_for(std::chrono::milliseconds(s.pause_ms));
    const std::string status = s.pid.empty() ? "" : text_of("/proc/" + s.pid + "/status");
    const std::size_t peak = status.find("VmHWM:");
    const auto from = steady::now();
    if (code != 0) XTestFakeKeyEvent(display, code, True, CurrentTime);
    XSync(display, False);
    const auto seen = s.pid.empty()
                          ? until("the screen", [&] { return shows(s.after, s.top, s.rows); })
                          : until("the end of " + s.pid, [&] {  // gone, or a zombie
                              const std::string stat = text_of("/proc/" + s.pid + "/stat");
                              return stat.empty() || stat.find(") Z ") != std::string::npos;
                            });
    if (code != 0) XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
    const double unix_ms =
        ms(std::chrono::system_clock::now().time_since_epoch()) - ms(steady::now() - seen);
    std::printf("%.3f %ld\n", code == 0 ? unix_ms : ms(seen - from),
                peak == std::string::npos ? -1L : std::atol(status.c_str() + peak + 6));
  }
  std::printf("%ld %.3f %ld %.3f\n", reads, read_ms, intervals, span_ms);
  XCloseDisplay(display);
  return 0;
}
