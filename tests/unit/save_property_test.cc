// Property test of the save: random files the program accepts, then random captures of either
// player, each saved as the program saves it. A game reading the result with get_config_int
// must find the last captured keys and the other player's earlier ones, every other setting
// and comment must survive, and the program must accept the file again. The seed files of
// fuzz/corpus start the run.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bindings/binding_store.h"
#include "bindings/file_check.h"

namespace {

using key_codes = std::array<int, action_names.size()>;

struct made_file {
  std::string text;
  std::vector<std::pair<std::string, std::string>> settings;  // section, name: not a player key
  std::vector<std::string> comments;
};

made_file make_file(std::mt19937_64 &random) {
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const char *const sections[] = {"jugador0", "jugador1", "video", "sonido", "JUGADOR1"};
  const char *const breaks[] = {"\n", "\r\n", "\r"};
  const char *const names[] = {"arriba", "patada", "modo", "volumen", "x", "bloqueo"};
  made_file file;
  std::string section;
  for (std::size_t lines = pick(14); lines > 0; --lines) {
    const std::string end = breaks[pick(3)];
    switch (pick(6)) {
      case 0:
        section = sections[pick(std::size(sections))];
        file.text += "[";
        file.text += section;
        file.text += "]";
        file.text += end;
        break;
      case 1:
        file.comments.push_back("# nota " + std::to_string(pick(100)));
        file.text += file.comments.back() + end;
        break;
      case 2:
        file.text += end;
        break;
      case 3:  // a key with no value, or no '=' at all
        file.text += std::string(names[pick(std::size(names))]) + (pick(2) ? " =" : "") + end;
        break;
      default: {
        const std::string name = names[pick(std::size(names))];
        file.text += name;
        file.text += pick(2) ? " = " : "=";
        file.text += std::to_string(pick(120)) + end;
        const bool player_key =
            section.rfind("jugador", 0) == 0 || section.rfind("JUGADOR", 0) == 0;
        if (!player_key || name == "modo" || name == "volumen" || name == "x")
          file.settings.emplace_back(section, name);
      }
    }
  }
  return file;
}

// What a game reads: a player's keys, or any setting.
std::string read(const std::string &text, const std::string &section, const std::string &name) {
  set_config_data(text.data(), static_cast<int>(text.size()));
  return get_config_string(section.c_str(), name.c_str(), "(missing)");
}

std::string player_key(const std::string &text, int player, std::size_t action) {
  return read(text, "jugador" + std::to_string(player), action_names[action]);
}

TEST(SaveProperty, EveryAcceptedFileSavesEachCaptureWhereTheGameReadsIt) {
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, std::atexit), 0);
  const auto seed =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::cout << "seed " << seed << "\n";
  std::mt19937_64 random(seed);

  std::vector<made_file> files;
  for (const auto &seed_file : std::filesystem::directory_iterator(BRUMO_CORPUS_DIR)) {
    std::ifstream in(seed_file.path(), std::ios::binary);
    files.push_back({std::string(std::istreambuf_iterator<char>(in), {}), {}, {}});
  }
  while (files.size() < 3000) files.push_back(make_file(random));

  int accepted = 0;
  int refused_up_front = 0;
  for (const made_file &file : files) {
    if (check_binding_text(file.text).problem != file_ok) continue;
    ++accepted;
    std::string text = file.text;
    for (int capture = 0; capture < 3; ++capture) {
      const int player = static_cast<int>(random() % 2);
      key_codes codes{};
      for (int &code : codes) code = random() % 4 == 0 ? no_file_scancode : 1 + int(random() % 114);
      std::string reason;
      const std::string saved = saved_text(text, player, codes, reason);
      if (!reason.empty()) {
        // Only ever before the capture, where the player is told before pressing a key.
        key_codes any_keys{};
        any_keys.fill(KEY_A);
        std::string up_front;
        saved_text(text, player, any_keys, up_front);
        ASSERT_FALSE(up_front.empty()) << reason << "\nfile:\n" << text;
        ++refused_up_front;
        break;
      }
      ASSERT_EQ(check_binding_text(saved).problem, file_ok) << saved;
      for (std::size_t action = 0; action < codes.size(); ++action) {
        for (int other = 0; other < 2; ++other) {
          const std::string expected = other == player && codes[action] != no_file_scancode
                                           ? std::to_string(codes[action])
                                           : player_key(text, other, action);
          ASSERT_EQ(player_key(saved, other, action), expected)
              << "jugador" << other << " " << action_names[action] << "\nbefore:\n"
              << text << "\nafter:\n"
              << saved;
        }
      }
      for (const auto &[section, name] : file.settings)
        ASSERT_EQ(read(saved, section, name), read(text, section, name)) << saved;
      for (const std::string &comment : file.comments)
        ASSERT_NE(saved.find(comment), std::string::npos) << comment << "\n" << saved;
      text = saved;
    }
  }
  std::cout << accepted << " files accepted, " << refused_up_front << " refused before a capture\n";
  EXPECT_GT(accepted, 1000);
  EXPECT_LT(refused_up_front, accepted / 4);
}

}  // namespace
