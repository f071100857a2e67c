// The save's property, on any bytes: for a file the byte check accepts, three captures of
// either player are saved so that a game reading the result with get_config_int finds the
// captured keys, every other setting and comment is kept, and the result is accepted again; a
// file whose save would go wrong is refused before the capture.
#include "fuzz/save_property.h"
#include <allegro.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "bindings/binding_file.h"
#include "storage/trial_save.h"

// Every setting as a game reads it, but the keys of the given player's section, matched as the
// library matches names (ignoring case, Unicode's included).
static std::string settings(const std::string &text, int player) {
  set_config_data(text.data(), static_cast<int>(text.size()));
  const char **sections = nullptr;
  const int count = list_config_sections(&sections);
  std::string all;
  for (int s = -1; s < count; ++s) {
    const char *header = s < 0 ? "" : sections[s];  // the global one first
    const bool captured = ustricmp(header, player == 0 ? "[jugador0]" : "[jugador1]") == 0;
    const char **keys = nullptr;
    for (int n = list_config_entries(header, &keys) - 1; n >= 0; --n) {
      const auto named = [&](const char *action) { return ustricmp(action, keys[n]) == 0; };
      if (!captured || std::none_of(action_names.begin(), action_names.end(), named))
        all += std::string(header) + keys[n] + "=" + get_config_string(header, keys[n], "") + "\n";
    }
    free_config_entries(&keys);
  }
  free_config_entries(&sections);
  return all;
}
// The comment lines, in order, as the library keeps them: every line that names nothing.
static std::string comments(const std::string &text) {
  std::string all;
  for (const std::string_view line : lines_of(text)) {
    const std::size_t first = line.find_first_not_of(" \t\v\f");
    if (first != std::string_view::npos && (line[first] == '#' || line[first] == '='))
      all.append(line).append("\n");
  }
  return all;
}
static int key_in(const std::string &text, int player, std::size_t action) {
  set_config_data(text.data(), static_cast<int>(text.size()));
  return get_config_int(player == 0 ? "jugador0" : "jugador1", action_names[action], -1);
}

void check_save_property(std::string text) {
  if (check_bytes(text).problem != file_ok) return;
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
    const auto check = [&](bool holds, const char *what) {
      if (holds) return;
      std::fprintf(stderr, "%s\nbefore:\n%s\nafter:\n%s\n", what, text.c_str(), saved.c_str());
      std::abort();
    };
    if (trial_save(text, player, codes, saved).problem != file_ok) {
      const key_codes widest = {100, 100, 100, 100, 100, 100, 100};
      check(trial_save(text, player, widest, saved).problem != file_ok, "refused after capture");
      return;
    }
    std::string again;
    check(check_bytes(saved).problem == file_ok, "saved a file it refuses");
    check(trial_save(saved, player, codes, again).problem == file_ok, "saved a file it refuses");
    check(settings(saved, player) == settings(text, player), "settings changed");
    check(comments(saved) == comments(text), "comments changed");
    for (std::size_t action = 0; action < codes.size(); ++action) {
      const int code = codes[action];
      const int want = code != no_file_scancode ? code : key_in(text, player, action);
      check(key_in(saved, player, action) == want, "key misplaced");
    }
    text = saved;
  }
}
bool library_started() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0;
  return started;
}
// libFuzzer's entry (make fuzz).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (library_started())
    check_save_property(std::string(reinterpret_cast<const char *>(data), size));
  return 0;
}
