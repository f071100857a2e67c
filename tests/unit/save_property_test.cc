// The save's property (fuzz/save_property.cc) over the fuzzer's seed files and thousands of
// random files of sections, keys with and without values, comments and blank lines in any line
// ending, from a printed seed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

void save_property(const std::string &text) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
}

std::string random_file(std::mt19937_64 &random) {
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const char *const lines[] = {"[jugador0]", "[jugador1]", "[JUGADOR1]", "[video]", "# nota",
                               "",           "arriba",     "patada =",   "modo = 2"};
  const char *const breaks[] = {"\n", "\r\n", "\r"};
  std::string text;
  for (std::size_t count = pick(14); count > 0; --count) {
    text += pick(3) == 0 ? "bloqueo = " + std::to_string(pick(120)) : lines[pick(std::size(lines))];
    text += breaks[pick(3)];
  }
  return text;
}

TEST(SaveProperty, HoldsForTheSeedFilesAndRandomOnes) {
  for (const auto &seed_file : std::filesystem::directory_iterator(BRUMO_CORPUS_DIR)) {
    std::ifstream in(seed_file.path(), std::ios::binary);
    save_property(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  const auto seed = std::chrono::steady_clock::now().time_since_epoch().count();
  std::cout << "seed " << seed << "\n";
  std::mt19937_64 random(static_cast<std::uint64_t>(seed));
  for (int i = 0; i < 5000; ++i) save_property(random_file(random));
}

}  // namespace
