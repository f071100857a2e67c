// The bench's screen watcher: polls the window (by default the top left 320x240 of the screen,
// where the program's window appears on a bare display) about every millisecond through shared
// memory. Waits untimed for all of BEFORE, sends KEYSYM down through XTest, then times until rows
// [TOP, TOP + ROWS) show AFTER (raw RGB from screen_helper render) or process PID has ended.
//   bench_watch [-w WINDOW] [-b BEFORE] [-k KEYSYM] [-r TOP,ROWS] [-s READY_FILE] (AFTER | -p PID)
// Prints the ms from key to the read that saw it (without a key: that read's Unix time in ms),
// then the reads, their ms in all, and the reads and ms before the one that ended each wait.
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

namespace {

using steady = std::chrono::steady_clock;
constexpr int width = 320, height = 240;
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
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
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

}  // namespace

int main(int argc, char **argv) {
  std::string window, before, key, pid, ready, after;
  int top = 0, rows = height;
  for (int option; (option = getopt(argc, argv, "w:b:k:r:s:p:")) != -1;) {
    if (option == 'w') window = optarg;
    if (option == 'b') before = text_of(optarg);
    if (option == 'k') key = optarg;
    if (option == 'r' && std::sscanf(optarg, "%d,%d", &top, &rows) != 2) return 2;
    if (option == 's') ready = optarg;
    if (option == 'p') pid = optarg;
    if (option == '?') return 2;
  }
  if (optind < argc) after = text_of(argv[optind]);
  const std::size_t size = 3 * width * height;
  if ((after.size() == size) == !pid.empty() || (!before.empty() && before.size() != size) ||
      top < 0 || rows < 1 || top + rows > height)
    fail("wrong arguments or pictures: see the top of bench/watch.cc");
  display = XOpenDisplay(nullptr);
  if (display == nullptr) fail("no display");
  XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
  drawable = window.empty() ? DefaultRootWindow(display) : std::stoul(window);
  // One segment for all reads, marked for removal once both ends hold it: it goes with them.
  XShmSegmentInfo segment{};
  const int screen = DefaultScreen(display);
  image = XShmCreateImage(display, DefaultVisual(display, screen),
                          static_cast<unsigned>(DefaultDepth(display, screen)), ZPixmap, nullptr,
                          &segment, width, height);
  if (image == nullptr || image->bits_per_pixel != 32 || image->byte_order != LSBFirst)
    fail("the display has no 32-bit shared-memory pictures");
  segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height,
                         IPC_CREAT | 0600);
  if (segment.shmid < 0) fail("no shared memory");
  segment.shmaddr = image->data = static_cast<char *>(shmat(segment.shmid, nullptr, 0));
  XShmAttach(display, &segment);
  XSync(display, False);
  shmctl(segment.shmid, IPC_RMID, nullptr);
  if (!ready.empty() && !std::ofstream(ready)) fail("cannot write " + ready);
  if (!before.empty()) until("the screen before the key", [&] { return shows(before, 0, height); });
  auto from = steady::now();
  if (!key.empty()) {
    const KeySym symbol = XStringToKeysym(key.c_str());
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
    if (code == 0) fail("no key for " + key);
    from = steady::now();
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XSync(display, False);
  }
  const auto seen = pid.empty() ? until("the screen", [&] { return shows(after, top, rows); })
                                : until("the end of " + pid, [&] {  // gone, or a zombie
                                    const std::string stat = text_of("/proc/" + pid + "/stat");
                                    return stat.empty() || stat.find(") Z ") != std::string::npos;
                                  });
  const double unix_ms =
      ms(std::chrono::system_clock::now().time_since_epoch()) - ms(steady::now() - seen);
  std::printf("%.3f %ld %.3f %ld %.3f\n", key.empty() ? unix_ms : ms(seen - from), reads, read_ms,
              intervals, span_ms);
  XCloseDisplay(display);
  return 0;
}
