// The slowest check of a file the program still accepts: at the size cap, made of short distinct
// lines, either keys in player 1's section or section headers, passed through check_bytes and
// trial_save with all seven keys of player 1, then of player 2, set. Prints the times of the
// slowest of the four, in ms, one a line; the medians of all go to stderr.
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "storage/trial_save.h"

namespace {

// The head, then line(0), line(1)... as long as the text stays within the cap.
template <typename Line>
std::string at_cap(std::string text, const Line &line) {
  for (int i = 0; text.size() + line(i).size() <= binding_file_size_cap; ++i) text += line(i);
  return text;
}

// Five times, sorted: the median is the third.
std::vector<double> time_check(const std::string &text, const char *what, int player) {
  std::vector<double> times;
  for (std::string saved; times.size() < 5;) {
    const auto start = std::chrono::steady_clock::now();
    file_verdict verdict = check_bytes(text);
    if (verdict.problem == file_ok)
      verdict = trial_save(text, player, {1, 2, 3, 4, 5, 6, 7}, saved);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    times.push_back(took.count());
    // A refused file may have been judged on a shortcut: its time would say nothing.
    if (verdict.problem != file_ok) {
      std::fprintf(stderr, "check_at_cap: %s refused (problem %d)\n", what, verdict.problem);
      std::exit(1);
    }
  }
  std::sort(times.begin(), times.end());
  std::fprintf(stderr, "check_at_cap: %s, %zu bytes, player %d: median %.2f ms\n", what,
               text.size(), player + 1, times[2]);
  return times;
}

}  // namespace

int main() {
  if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) return 1;
  const std::string files[] = {
      at_cap("[jugador0]\n", [](int i) { return "k" + std::to_string(i) + "=1\n"; }),
      at_cap("", [](int i) { return "[s" + std::to_string(i) + "]\n"; })};
  const char *const names[] = {"keys in one section", "section headers"};
  std::vector<double> slowest;
  for (int run = 0; run < 4; ++run) {  // each file for player 1, then for player 2
    std::vector<double> times = time_check(files[run % 2], names[run % 2], run / 2);
    if (slowest.empty() || times[2] > slowest[2]) slowest = times;
  }
  for (const double time : slowest) std::printf("%.3f\n", time);
  return 0;
}
