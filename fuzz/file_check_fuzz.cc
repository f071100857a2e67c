// libFuzzer target: the binding file's check on any bytes and, for what it lets through, the
// program's save of each player's keys, which must give a file the check accepts again and that
// a game reads the keys back from. The same files seed the save property test.
#include <allegro.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bindings/binding_store.h"
#include "bindings/file_check.h"

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
  if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) std::exit(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  if (check_binding_text(bytes).problem != file_ok) return 0;
  std::array<int, action_names.size()> codes{};
  for (std::size_t action = 0; action < codes.size(); ++action)
    codes[action] = 1 + static_cast<int>((size + action * 7) % 114);
  for (int player = 0; player < 2; ++player) {
    std::string reason;
    const std::string saved = saved_text(bytes, player, codes, reason);
    if (!reason.empty()) continue;  // refused, with the file untouched
    if (check_binding_text(saved).problem != file_ok) {
      std::fprintf(stderr, "the save gives a file the check refuses:\n%s\n", saved.c_str());
      std::abort();
    }
    char section[section_name_size];
    format_section_name(section, player);
    set_config_data(saved.data(), static_cast<int>(saved.size()));
    for (std::size_t action = 0; action < codes.size(); ++action) {
      if (get_config_int(section, action_names[action], -1) != codes[action]) {
        std::fprintf(stderr, "%s lost from %s:\n%s\n", action_names[action], section,
                     saved.c_str());
        std::abort();
      }
    }
  }
  return 0;
}
