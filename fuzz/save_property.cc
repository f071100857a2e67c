// The save's property, on any bytes: for a file the program accepts, each capture of either
// player is saved so that a game reading the result with get_config_int finds the captured
// keys and the other player's earlier ones, every other setting and comment survives, and the
// program accepts the file again; a file whose save would go wrong is refused before the
// capture. libFuzzer drives it in make fuzz; the test suite replays fuzz/corpus and thousands
// of random files through it.
#include <allegro.h>

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bindings/binding_store.h"
#include "bindings/file_check.h"

namespace {

using key_codes = std::array<int, action_names.size()>;

[[noreturn]] void fail(const std::string &what, std::string_view before, std::string_view after) {
  std::fprintf(stderr, "%s\nbefore:\n%.*s\nafter:\n%.*s\n", what.c_str(),
               static_cast<int>(before.size()), before.data(), static_cast<int>(after.size()),
               after.data());
  std::abort();
}

bool captured_key(const std::string &section, const char *name, int player) {
  char captured[section_name_size];
  format_section_name(captured, player);
  return strcasecmp(section.c_str(), ("[" + std::string(captured) + "]").c_str()) == 0 &&
         std::find_if(action_names.begin(), action_names.end(), [&](const char *action) {
           return strcasecmp(action, name) == 0;
         }) != action_names.end();
}

// Every setting of text as a game reads it, the captured player's keys left out.
std::string settings(std::string_view text, int player) {
  set_config_data(text.data(), static_cast<int>(text.size()));
  const char **listed = nullptr;
  std::vector<std::string> sections(1);  // the global one first
  for (int s = list_config_sections(&listed) - 1; s >= 0; --s) sections.emplace_back(listed[s]);
  free_config_entries(&listed);
  std::string all;
  for (const std::string &section : sections) {
    const char **names = nullptr;
    const int name_count = list_config_entries(section.c_str(), &names);
    for (int n = 0; n < name_count; ++n) {
      if (captured_key(section, names[n], player)) continue;
      all += section + "." + names[n] + "=";
      all += get_config_string(section.c_str(), names[n], "");
      all += "\n";
    }
    free_config_entries(&names);
  }
  return all;
}

// False when the save is refused, as it may be only before the capture.
bool check_one_save(std::string &text, int player, const key_codes &codes) {
  std::string reason;
  const std::string saved = saved_text(text, player, codes, reason);
  if (!reason.empty()) {
    key_codes any_keys{};
    any_keys.fill(KEY_A);
    std::string up_front;
    saved_text(text, player, any_keys, up_front);
    if (up_front.empty()) fail("refused only after the capture: " + reason, text, saved);
    return false;
  }
  if (check_binding_text(saved).problem != file_ok) fail("saved a file it refuses", text, saved);
  if (settings(saved, player) != settings(text, player)) fail("settings changed", text, saved);
  char section[section_name_size];
  format_section_name(section, player);
  for (std::size_t action = 0; action < codes.size(); ++action) {
    set_config_data(text.data(), static_cast<int>(text.size()));
    const int before = get_config_int(section, action_names[action], -1);
    set_config_data(saved.data(), static_cast<int>(saved.size()));
    const int expected = codes[action] != no_file_scancode ? codes[action] : before;
    if (get_config_int(section, action_names[action], -1) != expected)
      fail(std::string(section) + "." + action_names[action] + " misplaced", text, saved);
  }
  for (std::size_t at = 0, end = 0; at < text.size(); at = end + 1) {
    end = std::min(text.find_first_of("\r\n", at), text.size());
    const std::string_view line = std::string_view(text).substr(at, end - at);
    if (line.substr(0, 1) == "#" && saved.find(line) == std::string::npos)
      fail("comment lost", text, saved);
  }
  text = saved;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0;
  if (!started) std::abort();
  std::string text(reinterpret_cast<const char *>(data), size);
  if (check_binding_text(text).problem != file_ok) return 0;
  // Three captures, their players and keys drawn from the bytes so a failure replays.
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (const char byte : text) hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ULL;
  for (int capture = 0; capture < 3; ++capture) {
    key_codes codes{};
    for (int &code : codes) {
      hash = hash * 6364136223846793005ULL + 1442695040888963407ULL;
      code = hash >> 62 == 0 ? no_file_scancode : 1 + static_cast<int>((hash >> 33) % 114);
    }
    if (!check_one_save(text, static_cast<int>(hash >> 63), codes)) break;
  }
  return 0;
}
