// Property test of the binding file's check against the library's save path: random files the
// check accepts must keep every other line when saved, those it refuses for their layout must
// really be mangled, and damaged copies must be refused before the library ever sees them.
#include <utf8.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "bindings/file_check.h"
#include "tests/unit/binding_round_trip.h"

namespace {

// A file as its lines, each with its break, so that damage lands on a known line.
using random_file = std::vector<std::string>;

std::string joined(const random_file &file) {
  return std::accumulate(file.begin(), file.end(), std::string());
}

// Sections, keys, comments and blank lines in any line ending, with text of every UTF-8 length
// and the characters the library treats as spaces or folds to ASCII.
struct file_maker {
  std::mt19937_64 random;

  std::size_t below(std::size_t n) { return random() % n; }
  bool percent(std::size_t p) { return below(100) < p; }
  template <typename T, std::size_t n>
  const T &pick(T (&items)[n]) {
    return items[below(n)];
  }

  random_file make() {
    random_file file;
    const auto add = [&](std::string line) {
      static const char *const breaks[] = {"\n", "\r\n", "\r"};
      if (!line.empty() && percent(10)) line.insert(0, percent(50) ? "  " : "\t");
      // After a lone CR, an empty line ended by LF would make one CRLF of two breaks.
      const bool after_cr = !file.empty() && file.back().back() == '\r';
      file.push_back(line + (line.empty() && after_cr ? "\r" : breaks[below(3)]));
    };
    for (std::size_t i = percent(25) ? 1 + below(4) : 0; i > 0; --i) add(other_line());
    for (std::size_t sections = below(7); sections > 0; --sections) {
      // The library keeps "# ..." after a section's name and glues any other text on to it;
      // U+3000 is a space to it.
      static const char *const tails[] = {"  ", "  # ", " ; ", " = ", "\xE3\x80\x80"};
      std::string tail = percent(90) ? "" : pick(tails);
      if (tail.size() > 2) tail += text(below(10));
      static const char *const names[] = {"[JUGADOR1]",    "[Jugador0]",    "[jugador2]",
                                          "[sonido]",      "[v1.2-x]",      "[mi seccion]",
                                          "[caf\xC3\xA9]", "[\xE6\x97\xA5]"};
      add((percent(30) ? pick(names) : percent(50) ? "[jugador0]" : "[jugador1]") + tail);
      random_file body;
      for (std::string key : action_names) {
        if (percent(40)) continue;
        if (percent(10)) key[0] = static_cast<char>(key[0] - 'a' + 'A');
        const std::size_t i = key.find('i');  // and U+0130, which the library takes for 'i'
        if (percent(3) && i != std::string::npos) key.replace(i, 1, "\xC4\xB0");
        body.push_back(key_line(key));
      }
      for (std::size_t i = below(5); i > 0; --i) body.push_back(percent(15) ? " \t" : other_line());
      std::shuffle(body.begin(), body.end(), random);
      for (const std::string &line : body) add(line);
      // Only an empty line ends the run after a header where the library adds missing keys.
      if (percent(75)) add(percent(90) ? "" : " \t");
    }
    if (!file.empty() && percent(20)) file.back().erase(file.back().find_first_of("\r\n"));
    return file;
  }

  std::string text(std::size_t length) {
    // Mostly ASCII, else each UTF-8 length (the surrogates are no characters), and the spaces the
    // library knows, a dotted I it folds to "i", and marks and breaks it does not know.
    static const char32_t ranges[][2] = {{0x80, 0x800},       {0x800, 0xD800},  {0xE000, 0x10000},
                                         {0x10000, 0x110000}, {0x9, 0xA},       {0xB, 0xD},
                                         {0x85, 0x86},        {0xA0, 0xA1},     {0x130, 0x131},
                                         {0x1680, 0x1681},    {0x2000, 0x200B}, {0x2028, 0x2030},
                                         {0x3000, 0x3001},    {0xFEFF, 0xFF00}};
    std::string out;
    for (; length > 0; --length) {
      const auto &range = pick(ranges);
      const char32_t c = range[0] + static_cast<char32_t>(below(range[1] - range[0]));
      utf8::append(percent(60) ? U' ' + static_cast<char32_t>(below(95)) : c,
                   std::back_inserter(out));
    }
    return out;
  }

  // Long lines are kept when ASCII; with other characters the check refuses them.
  std::string long_text() {
    if (percent(80)) return {std::string(300 + below(3000), static_cast<char>('a' + below(26)))};
    return text(300 + below(3000));
  }

  std::string other_line() {
    static const char *const keys[] = {"volumen", "m\xC3\xBAsica", "a.b-c", "teclas[3]", "arriba"};
    if (percent(50)) return key_line(pick(keys));
    return "#" + (percent(4) ? long_text() : text(below(40)));
  }

  std::string key_line(const std::string &key) {
    static const char *const separators[] = {"=",     " = ",  " =", "= ",
                                             "\t=\t", " == ", " ",  "\xE3\x80\x80=\xE3\x80\x80"};
    const std::size_t kind = below(10);
    std::string value = kind < 4 ? std::to_string(below(115)) : kind < 7 ? text(below(20)) : "";
    if (kind == 8) value = percent(50) ? long_text() : "= " + std::to_string(below(9));
    return key + pick(separators) + value + (percent(5) ? " \t" : "");
  }
};

// A byte-order mark (only one at the start counts), a NUL, and each kind of invalid UTF-8.
const std::vector<std::string_view> damages[] = {
    {"\xEF\xBB\xBF"},
    {std::string_view("\0", 1), std::string_view("x\0y", 3)},
    {"\x80", "\xBF\xA9"},                                          // stray continuation bytes
    {"\xC3", "\xE2\x82", "\xF0\x9F\x98"},                          // truncated sequences
    {"\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF"},  // overlong forms
    {"\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80"},          // 5- and 6-byte forms
    {"\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF"},                      // past U+10FFFF
    {"\xED\xA0\x80", "\xED\xBF\xBF"},                              // surrogates
    {"\xFE", "\xFF"}};

// A layout needs refusing only when saving would change it for one player or the other.
bool mangled(const std::string &bytes, const binding_values &values) {
  return !round_trip(bytes, 0, values).empty() || !round_trip(bytes, 1, values).empty();
}

std::uint64_t from_environment(const char *name, std::uint64_t fallback) {
  const char *text = std::getenv(name);
  return text == nullptr || *text == '\0' ? fallback : std::strtoull(text, nullptr, 0);
}

// The run repeats from the printed seed; BRUMO_ROUNDTRIP_SEED and BRUMO_ROUNDTRIP_CASES change
// it, and it stops after 20 s whatever the count.
TEST(FileRoundTrip, RandomFilesAreKeptOrRefused) {
  ASSERT_TRUE(start_round_trips());
  const std::uint64_t seed = from_environment("BRUMO_ROUNDTRIP_SEED", 20261206);
  const std::uint64_t cases = from_environment("BRUMO_ROUNDTRIP_CASES", 4000);
  std::cout << "seed " << seed << " (BRUMO_ROUNDTRIP_SEED=" << seed << " repeats this run)\n";
  file_maker maker{std::mt19937_64(seed)};
  std::uint64_t ran = 0;
  std::map<file_problem, std::uint64_t> counts;
  const auto start = std::chrono::steady_clock::now();
  for (; ran < cases && std::chrono::steady_clock::now() - start < std::chrono::seconds(20);
       ++ran) {
    const random_file file = maker.make();
    const std::string bytes = joined(file);
    const int player = static_cast<int>(maker.below(2));
    binding_values values{};
    for (int &value : values) value = static_cast<int>(maker.below(115));  // the file's scancodes
    SCOPED_TRACE("case " + std::to_string(ran) + ", jugador" + std::to_string(player) + ", file " +
                 c_literal(bytes.substr(0, 2000)));

    const file_verdict verdict = check_binding_text(bytes);
    ++counts[verdict.problem];
    if (verdict.problem == file_ok) {
      ASSERT_EQ(round_trip(bytes, player, values), "");
    } else if (verdict.problem != file_long_line_not_ascii) {  // an overrun is not always seen
      ASSERT_TRUE(mangled(bytes, values)) << "refused: " << describe_verdict(verdict, "brumo.ini");
    }

    // A damaged copy, refused at the line the damage went into; never handed to the library,
    // which can loop forever on such bytes.
    const std::size_t kind = ran % std::size(damages);
    random_file damaged = file.empty() ? random_file{""} : file;
    const std::size_t line = kind == 0 ? 0 : maker.below(damaged.size());
    std::string &text = damaged[line];
    const std::size_t text_end = std::min(text.find_first_of("\r\n"), text.size());
    std::size_t at = kind == 0 ? 0 : maker.below(text_end + 1);
    while (at < text_end && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    text.insert(at, damages[kind][maker.below(damages[kind].size())]);
    const file_verdict refusal = check_binding_text(joined(damaged));
    ASSERT_EQ(refusal.problem, kind == 0   ? file_has_byte_order_mark
                               : kind == 1 ? file_has_nul_byte
                                           : file_not_utf8);
    ASSERT_EQ(refusal.line, static_cast<int>(line) + 1) << c_literal(joined(damaged));
  }
  std::cout << ran << " files: " << counts[file_ok]
            << " kept; refused and mangled anyway: " << counts[file_section_line_has_text]
            << " for text after a section name, " << counts[file_player_section_runs_on]
            << " for a player section running on; refused: " << counts[file_long_line_not_ascii]
            << " for a long line with non-ASCII text\n";
  // These files are UTF-8, so only their layout may be refused; and a generator that stopped
  // making files of each kind would test nothing.
  EXPECT_GT(counts[file_ok], ran / 2);
  EXPECT_GT(counts[file_section_line_has_text], 0U);
  EXPECT_GT(counts[file_player_section_runs_on], 0U);
  EXPECT_GT(counts[file_long_line_not_ascii], 0U);
  EXPECT_EQ(counts.size(), 4U);
}

// Shrunk files where the library mangled what the check let through, now refused, and layouts
// next to them that the library keeps, still accepted.
TEST(FileRoundTrip, MinimisedCasesAreRefusedExactlyWhenTheLibraryMangles) {
  ASSERT_TRUE(start_round_trips());
  const std::tuple<std::string, file_problem, int> files[] = {
      {"[a] b", file_section_line_has_text, 1},  // saved as "[a]b", no longer a section
      {"[jugador0] ; uno\r\narriba = 84\r\n", file_section_line_has_text, 1},
      {"# teclas\n[mi seccion]\nx = 1\n", file_section_line_has_text, 2},
      {"[a]\xE3\x80\x80x\n", file_section_line_has_text, 1},
      // The missing keys would land at the end of the next section.
      {"[jugador0]\n[a]", file_player_section_runs_on, 2},
      {"[jugador0]\rarriba = 1\r \r[sonido]\rvol = 3\r", file_player_section_runs_on, 4},
      {"[jugador0]\n\r[a]\n", file_player_section_runs_on, 3},  // LFCR is one break to it
      {"[jugador0] # uno\narriba = 1\n\n[jugador1]  =  # dos\n", file_ok, 0},
      {"[a\n[a #b\n[a]\n[jugador0]\r\n# c\r\n\r\n[b]\r\nx = 2\r\n", file_ok, 0},
      {"[jugador0]\narriba = 1\nabajo = 2\nizquierda = 3\nderecha = 4\ntrompada = 5\n"
       "bloqueo = 6\npatada = 7\n[a]\nx = 2\n",  // nothing to add, so nothing lands in [a]
       file_ok, 0},
      {"[jugador0]\n[a]\n[JUGADOR0]\n", file_ok, 0},  // keys go after [JUGADOR0], the same section
  };
  for (const auto &[bytes, problem, line] : files) {
    SCOPED_TRACE(c_literal(bytes));
    const file_verdict verdict = check_binding_text(bytes);
    EXPECT_EQ(verdict.problem, problem);
    EXPECT_EQ(verdict.line, line);
    EXPECT_EQ(mangled(bytes, {10, 20, 30, 40, 50, 60, 70}), problem != file_ok);
  }
}

}  // namespace
