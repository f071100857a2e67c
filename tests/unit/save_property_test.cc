// The save property of fuzz/save_property.cc over the fuzzer's seed files and thousands of
// random files of sections, keys with and without values, comments and blank lines in any line
// ending, from a printed seed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

void save_property(const std::string &text) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
}

TEST(SaveProperty, HoldsForTheSeedFilesAndRandomOnes) {
  for (const auto &seed_file : std::filesystem::directory_iterator(BRUMO_CORPUS_DIR)) {
    std::ifstream in(seed_file.path(), std::ios::binary);
    save_property(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  const auto seed = std::chrono::steady_clock::now().time_since_epoch().count();
  std::cout << "seed " << seed << "\n";
  std::mt19937_64 random(static_cast<std::uint64_t>(seed));
  const char *const lines[] = {"[jugador0]", "[jugador1]", "[JUGADOR1]", "[video]",  "# nota",
                               "",           "arriba",     "patada =",   "modo = 2", "bloqueo = 7"};
  const char *const breaks[] = {"\n", "\r\n", "\r"};
  for (int file = 0; file < 5000; ++file) {
    std::string text;
    for (auto count = random() % 14; count > 0; --count)
      text.append(lines[random() % std::size(lines)]).append(breaks[random() % 3]);
    save_property(text);
  }
}

}  // namespace
