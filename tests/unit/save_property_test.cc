// The save's property over the fuzzer's seed files and random ones.
#include "fuzz/save_property.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <random>
#include "tests/unit/library.h"

// Promises [P1 P32 P76 P113 P114 P115 P150 P162 P163]
TEST(SaveProperty, HoldsForTheSeedFilesAndRandomOnes) {
  ASSERT_TRUE(library_started());
  std::vector<std::string> files;
  for (const auto &seed_file : std::filesystem::directory_iterator(BRUMO_CORPUS_DIR)) {
    std::ifstream in(seed_file.path(), std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Sections, keys with and without values, comments and blank lines in any line ending.
  std::mt19937_64 random(std::random_device{}());  // a failing file is printed whole
  const char *const lines[] = {"[jugador0]", "[jugador1]", "[JUGADOR1]", "[video]",  "# nota",
                               "",           "arriba",     "patada =",   "modo = 2", "bloqueo = 7"};
  const char *const breaks[] = {"\n", "\r\n", "\r"};
  // The new ones get random lines; fewer on Windows, where each save's scratch files are slow.
  files.resize(files.size() + (std::filesystem::path::preferred_separator == '\\' ? 300 : 5000));
  for (std::string &text : files) {
    for (auto count = text.empty() ? random() % 14 : 0; count > 0; --count)
      text.append(lines[random() % std::size(lines)]).append(breaks[random() % 3]);
    check_save_property(text);
  }
}
