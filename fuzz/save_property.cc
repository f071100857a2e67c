// The save's property, on any bytes: for a file the byte check accepts, three captures of
// either player are saved so that a game reading the result with get_config_int finds the
// captured keys, every other setting and comment is kept, and the result is accepted again; a
// file whose save would go wrong is refused before the capture. libFuzzer drives it in make
// fuzz; built into the unit tests, it runs over fuzz/corpus and thousands of random files.
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bindings/key_names.h"
#include "storage/byte_check.h"
#include "storage/trial_save.h"

namespace {

void check(bool holds, const char *what, const std::string &before, const std::string &after) {
  if (holds) return;
  std::fprintf(stderr, "%s\nbefore:\n%s\nafter:\n%s\n", what, before.c_str(), after.c_str());
  std::abort();
}

// Every setting as a game reads it, but the keys of the given player's section, matched as the
// library matches names (ignoring case, Unicode's included).
std::string settings(const std::string &text, int player) {
  set_config_data(text.data(), static_cast<int>(text.size()));
  const char **sections = nullptr;
  const int count = list_config_sections(&sections);
  std::string all;
  for (int s = -1; s < count; ++s) {
    const char *section = s < 0 ? "" : sections[s];  // the global one first
    const bool captured = ustricmp(section, player == 0 ? "[jugador0]" : "[jugador1]") == 0;
    const char **names = nullptr;
    for (int n = list_config_entries(section, &names) - 1; n >= 0; --n) {
      const auto named = [&](const char *action) { return ustricmp(action, names[n]) == 0; };
      if (!captured || std::none_of(action_names.begin(), action_names.end(), named))
        all +=
            std::string(section) + names[n] + "=" + get_config_string(section, names[n], "") + "\n";
    }
    free_config_entries(&names);
  }
  free_config_entries(&sections);
  return all;
}

// The comment lines, in order, as the library keeps them: every line that names nothing.
std::string comments(const std::string &text) {
  std::string all;
  for (const std::string_view line : lines_of(text)) {
    const std::size_t first = line.find_first_not_of(" \t\v\f");
    if (first != std::string_view::npos && (line[first] == '#' || line[first] == '='))
      all.append(line).append("\n");
  }
  return all;
}

int key_in(const std::string &text, int player, std::size_t action) {
  set_config_data(text.data(), static_cast<int>(text.size()));
  return get_config_int(player == 0 ? "jugador0" : "jugador1", action_names[action], -1);
}

}  // namespace

// The library without a display, started once for the whole process (the unit tests too).
bool library_started() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0;
  return started;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  if (!library_started() || check_bytes(text).problem != file_ok) return 0;
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a: a failing input replays the same
  for (const char byte : text) hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ULL;
  for (int capture = 0; capture < 3; ++capture) {
    key_codes codes{};
    for (int &code : codes) {
      hash = hash * 6364136223846793005ULL + 1442695040888963407ULL;
      code = hash >> 62 == 0 ? no_file_scancode : 1 + static_cast<int>((hash >> 33) % 114);
    }
    const int player = static_cast<int>(hash >> 63);
    std::string saved;
    if (trial_save(text, player, codes, saved).problem != file_ok) {
      key_codes widest{};
      widest.fill(100);
      check(trial_save(text, player, widest, saved).problem != file_ok,
            "refused only after the capture", text, saved);
      return 0;
    }
    std::string again;
    check(check_bytes(saved).problem == file_ok &&
              trial_save(saved, player, codes, again).problem == file_ok,
          "saved a file it refuses", text, saved);
    check(settings(saved, player) == settings(text, player), "settings changed", text, saved);
    check(comments(saved) == comments(text), "comments changed", text, saved);
    for (std::size_t action = 0; action < codes.size(); ++action) {
      const int code = codes[action];
      const int want = code != no_file_scancode ? code : key_in(text, player, action);
      check(key_in(saved, player, action) == want, "key misplaced", text, saved);
    }
    text = saved;
  }
  return 0;
}

#ifdef BRUMO_CORPUS_DIR
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

TEST(SaveProperty, HoldsForTheSeedFilesAndRandomOnes) {
  std::vector<std::string> files;
  for (const auto &seed_file : std::filesystem::directory_iterator(BRUMO_CORPUS_DIR)) {
    std::ifstream in(seed_file.path(), std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Sections, keys with and without values, comments and blank lines in any line ending.
  const auto seed = std::chrono::steady_clock::now().time_since_epoch().count();
  std::cout << "seed " << seed << "\n";
  std::mt19937_64 random(static_cast<std::uint64_t>(seed));
  const char *const lines[] = {"[jugador0]", "[jugador1]", "[JUGADOR1]", "[video]",  "# nota",
                               "",           "arriba",     "patada =",   "modo = 2", "bloqueo = 7"};
  const char *const breaks[] = {"\n", "\r\n", "\r"};
#ifdef _WIN32
  files.resize(files.size() + 300);  // each save's scratch files are slow under Wine
#else
  files.resize(files.size() + 5000);  // the new ones get random lines
#endif
  for (std::string &text : files) {
    for (auto count = text.empty() ? random() % 14 : 0; count > 0; --count)
      text.append(lines[random() % std::size(lines)]).append(breaks[random() % 3]);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
  }
}
#endif
