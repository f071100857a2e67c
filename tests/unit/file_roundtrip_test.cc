// Property test of the binding file's check and the program's save path: random files, each
// judged by the check and, when accepted, saved through the library and compared line by line;
// damaged copies of them must be refused before the library ever sees them.
#include <utf8.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bindings/file_check.h"
#include "tests/unit/binding_round_trip.h"

namespace {

// The run repeats from its seed; BRUMO_ROUNDTRIP_SEED and BRUMO_ROUNDTRIP_CASES change it.
constexpr std::uint64_t default_seed = 20261206;
constexpr std::uint64_t default_cases = 10000;
constexpr auto time_budget = std::chrono::seconds(20);
constexpr int highest_file_scancode = 114;

std::uint64_t from_environment(const char *name, std::uint64_t fallback) {
  const char *text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return std::strtoull(text, nullptr, 0);
}

// A scratch directory for the file the library saves, removed however the test ends.
class scratch_directory {
 public:
  scratch_directory() : path_(make_scratch_directory()) {}
  ~scratch_directory() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  scratch_directory(const scratch_directory &) = delete;
  scratch_directory &operator=(const scratch_directory &) = delete;
  bool ok() const { return !path_.empty(); }
  std::string file() const { return path_ + "/brumo.ini"; }

 private:
  std::string path_;
};

struct line_span {
  std::size_t start;  // first byte of the line
  std::size_t end;    // just past its text, before its line break
};

struct random_file {
  std::string bytes;
  std::vector<line_span> lines;
};

std::string utf8_of(char32_t c) {
  std::string out;
  utf8::append(c, std::back_inserter(out));
  return out;
}

bool is_player_section(const std::string &name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return lower == "jugador0" || lower == "jugador1";
}

// Files of sections, keys, comments and blank lines, in any line ending, with text from all of
// UTF-8's lengths and the spaces the library knows beyond ASCII.
class file_maker {
 public:
  explicit file_maker(std::uint64_t seed) : random_(seed) {}

  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  bool percent(int p) { return below(100) < p; }

  binding_values values() {
    binding_values out{};
    for (int &value : out) value = below(highest_file_scancode + 1);
    return out;
  }

  random_file make() {
    file_ = {};
    endings_ = below(4);  // LF, CRLF, CR, or a mix
    after_lone_cr_ = false;
    if (percent(25)) {
      for (int i = below(4); i >= 0; --i) add(percent(50) ? comment() : key_line(other_key()));
    }
    for (int sections = below(7); sections > 0; --sections) {
      const std::string name = section_name();
      add(header(name));
      std::vector<std::string> body;
      if (is_player_section(name)) {
        for (const char *action : action_names)
          if (percent(60)) body.push_back(key_line(action_key(action)));
      }
      for (int i = below(5); i > 0; --i)
        body.push_back(percent(40) ? comment() : percent(80) ? key_line(other_key()) : "  ");
      std::shuffle(body.begin(), body.end(), random_);
      for (const std::string &line : body) add(line);
      // Only an empty line ends a section where the library adds keys.
      const int separator = below(100);
      if (separator < 75) {
        add("");
      } else if (separator < 82) {
        add(" \t");
      }
    }
    if (percent(20)) add(comment());
    if (!file_.lines.empty() && percent(20)) {
      file_.bytes.resize(file_.lines.back().end);  // no line break at the end
      if (file_.lines.back().start == file_.lines.back().end) file_.lines.pop_back();
    }
    return file_;
  }

 private:
  void add(const std::string &text) {
    file_.lines.push_back({file_.bytes.size(), file_.bytes.size() + text.size()});
    file_.bytes += text;
    int ending = endings_ < 3 ? endings_ : below(3);
    // An empty line ended by LF after a lone CR would make one CRLF of two line breaks.
    if (after_lone_cr_ && text.empty()) ending = 2;
    static const char *const breaks[] = {"\n", "\r\n", "\r"};
    file_.bytes += breaks[ending];
    after_lone_cr_ = ending == 2;
  }

  std::string character() {
    // Spaces to the library, a dotted I it folds to "i", and marks and breaks it does not know.
    static constexpr char32_t unusual[] = {U'\t',  U'\v',  U'\f',  0x1680, 0x2000,
                                           0x200A, 0x2028, 0x202F, 0x3000, 0x0130,
                                           0xFEFF, 0x0085, 0x00A0, 0x2029, 0x205F};
    switch (below(12)) {
      case 0:
        return utf8_of(static_cast<char32_t>(0x80 + below(0x800 - 0x80)));
      case 1: {
        auto c = static_cast<char32_t>(0x800 + below(0x10000 - 0x800));
        if (c >= 0xD800 && c <= 0xDFFF) c += 0x800;  // surrogates are no characters
        return utf8_of(c);
      }
      case 2:
        return utf8_of(static_cast<char32_t>(0x10000 + below(0x110000 - 0x10000)));
      case 3:
        return utf8_of(unusual[below(static_cast<int>(std::size(unusual)))]);
      default:
        return {static_cast<char>(' ' + below('~' - ' ' + 1))};
    }
  }

  std::string text(int length) {
    std::string out;
    for (int i = 0; i < length; ++i) out += character();
    return out;
  }

  std::string word() {
    std::string out;
    for (int i = 1 + below(8); i > 0; --i) {
      static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCXYZ0123456789_.-";
      out += letters[below(static_cast<int>(sizeof letters) - 1)];
    }
    return out;
  }

  std::string indent() { return percent(90) ? "" : percent(50) ? "  " : "\t"; }

  std::string comment() {
    const int length = percent(4) ? 300 + below(3000) : below(40);
    return indent() + "#" + text(length);
  }

  std::string section_name() {
    // "mi seccion" has a space: the library reads "[mi" as a key.
    static const char *const names[] = {"jugador0",
                                        "jugador1",
                                        "Jugador0",
                                        "JUGADOR1",
                                        "sonido",
                                        "video",
                                        "red",
                                        "jugador2",
                                        "configuraci\xC3\xB3n",
                                        "\xE6\x97\xA5\xE6\x9C\xAC",
                                        "mi seccion"};
    if (percent(45)) return names[below(2)];
    if (percent(15)) return word();
    return names[below(static_cast<int>(std::size(names)))];
  }

  std::string header(const std::string &name) {
    std::string line = indent() + "[" + name + "]";
    const int tail = below(100);
    if (tail < 8) {
      line += "  ";
    } else if (tail < 15) {
      line += "  # " + text(below(20));
    } else if (tail < 18) {
      line += percent(50) ? " ; " + text(below(10)) : " = " + word();
    } else if (tail < 19) {
      line += "\xE3\x80\x80" + word();  // U+3000, a space to the library
    }
    return line;
  }

  std::string action_key(const char *action) {
    std::string key = action;
    if (percent(10)) key[0] = static_cast<char>(key[0] - 'a' + 'A');
    // U+0130, which the library takes for "i".
    const std::size_t i = key.find('i');
    if (percent(3) && i != std::string::npos) key.replace(i, 1, "\xC4\xB0");
    return key;
  }

  std::string other_key() {
    static const char *const keys[] = {"volumen", "modo",          "nombre",    "pantalla_completa",
                                       "idioma",  "m\xC3\xBAsica", "teclas[3]", "arriba"};
    return percent(30) ? word() : keys[below(static_cast<int>(std::size(keys)))];
  }

  std::string key_line(const std::string &key) {
    static const char *const separators[] = {"=",     " = ",  " =", "= ",
                                             "\t=\t", " == ", " ",  "\xE3\x80\x80=\xE3\x80\x80"};
    std::string value;
    const int kind = below(100);
    if (kind < 40) {
      value = std::to_string(below(highest_file_scancode + 1));
    } else if (kind < 48) {
      value = std::to_string(below(200000) - 100000);
    } else if (kind < 80) {
      value = text(below(20));
    } else if (kind < 85) {
      value = text(300 + below(2000));
    } else if (kind < 95) {
      value = "";
    } else {
      value = "= " + std::to_string(below(10));
    }
    const std::string trailing = percent(5) ? " \t" : "";
    return indent() + key + separators[below(static_cast<int>(std::size(separators)))] + value +
           trailing;
  }

  std::mt19937_64 random_;
  random_file file_;
  int endings_ = 0;
  bool after_lone_cr_ = false;
};

// Damage of each kind the check refuses, with the verdict it must give.
struct damage {
  const char *kind;
  std::vector<std::string> forms;
  file_problem problem;
};

std::string nul() {
  return {"\0", 1};
}

const std::vector<damage> &damages() {
  static const std::vector<damage> all = {
      {"byte-order mark", {"\xEF\xBB\xBF"}, file_has_byte_order_mark},
      {"NUL byte", {nul(), "x" + nul() + "y"}, file_has_nul_byte},
      {"stray continuation byte", {"\x80", "\xBF", "\x80\x80", "\xA9"}, file_not_utf8},
      {"truncated sequence", {"\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xF4\x8F"}, file_not_utf8},
      {"overlong form",
       {"\xC0\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xE0\x9F\xBF", "\xF0\x80\x80\xAF",
        "\xF0\x8F\xBF\xBF"},
       file_not_utf8},
      {"5- or 6-byte form",
       {"\xF8\x88\x80\x80\x80", "\xFB\xBF\xBF\xBF\xBF", "\xFC\x84\x80\x80\x80\x80",
        "\xFD\xBF\xBF\xBF\xBF\xBF"},
       file_not_utf8},
      {"code point past U+10FFFF",
       {"\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF7\xBF\xBF\xBF"},
       file_not_utf8},
      {"surrogate",
       {"\xED\xA0\x80", "\xED\xAF\xBF", "\xED\xB0\x80", "\xED\xBF\xBF"},
       file_not_utf8},
      {"byte FE or FF", {"\xFE", "\xFF"}, file_not_utf8},
  };
  return all;
}

// The file shrunk, by deleting runs of characters, as far as it still fails; for the report.
template <typename Fails>
std::string minimise(const std::string &bytes, Fails fails) {
  std::vector<std::string> characters;
  for (auto at = bytes.begin(); at != bytes.end();) {
    const auto start = at;
    utf8::unchecked::next(at);
    characters.emplace_back(start, at);
  }
  const auto joined = [](const std::vector<std::string> &parts) {
    std::string out;
    for (const std::string &part : parts) out += part;
    return out;
  };
  for (std::size_t run = std::max<std::size_t>(characters.size() / 2, 1);; run /= 2) {
    for (std::size_t at = 0; at < characters.size();) {
      std::vector<std::string> shorter = characters;
      shorter.erase(
          shorter.begin() + static_cast<std::ptrdiff_t>(at),
          shorter.begin() + static_cast<std::ptrdiff_t>(std::min(at + run, shorter.size())));
      if (fails(joined(shorter))) {
        characters = std::move(shorter);
      } else {
        at += run;
      }
    }
    if (run == 1) return joined(characters);
  }
}

bool is_layout_problem(file_problem problem) {
  return problem == file_section_line_has_text || problem == file_player_section_runs_on;
}

TEST(FileRoundTrip, RandomFilesAreKeptOrRefused) {
  ASSERT_TRUE(start_library_without_system());
  const std::uint64_t seed = from_environment("BRUMO_ROUNDTRIP_SEED", default_seed);
  const std::uint64_t cases = from_environment("BRUMO_ROUNDTRIP_CASES", default_cases);
  std::printf("seed %llu (BRUMO_ROUNDTRIP_SEED=%llu repeats this run)\n",
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
  const scratch_directory directory;
  ASSERT_TRUE(directory.ok());
  const std::string path = directory.file();

  file_maker maker(seed);
  std::uint64_t ran = 0;
  std::uint64_t kept = 0;
  std::uint64_t text_after_section = 0;
  std::uint64_t section_runs_on = 0;
  std::vector<std::uint64_t> refused_damaged(damages().size());
  const auto start = std::chrono::steady_clock::now();
  for (; ran < cases && std::chrono::steady_clock::now() - start < time_budget; ++ran) {
    const random_file file = maker.make();
    const int player = maker.below(2);
    const binding_values values = maker.values();
    const std::string where = "case " + std::to_string(ran) + " of seed " + std::to_string(seed) +
                              ", jugador" + std::to_string(player) + ", file " +
                              c_literal(file.bytes.substr(0, 2000));

    const file_verdict verdict = check_binding_text(file.bytes);
    if (verdict.problem == file_ok) {
      const auto mangled = [&](const std::string &bytes) {
        return check_binding_text(bytes).problem == file_ok &&
               !round_trip(path, bytes, player, values).empty();
      };
      if (mangled(file.bytes)) {
        const std::string smallest = minimise(file.bytes, mangled);
        FAIL() << round_trip(path, file.bytes, player, values) << "\n"
               << where << "\nsmallest such file: " << c_literal(smallest) << "\n"
               << round_trip(path, smallest, player, values);
      }
      ++kept;
    } else {
      // These files are UTF-8, so only their layout can be refused, and only when saving
      // would mangle them for one player or the other.
      ASSERT_TRUE(is_layout_problem(verdict.problem)) << verdict.problem << ", " << where;
      const auto kept_anyway = [&](const std::string &bytes) {
        return is_layout_problem(check_binding_text(bytes).problem) &&
               round_trip(path, bytes, 0, values).empty() &&
               round_trip(path, bytes, 1, values).empty();
      };
      if (kept_anyway(file.bytes)) {
        FAIL() << "refused at line " << verdict.line << " though the library keeps it, " << where
               << "\nsmallest such file: " << c_literal(minimise(file.bytes, kept_anyway));
      }
      ++(verdict.problem == file_section_line_has_text ? text_after_section : section_runs_on);
    }

    // A damaged copy, refused at the damaged line; never handed to the library, which can loop
    // forever on such bytes.
    const std::size_t kind = ran % damages().size();
    const damage &harm = damages()[kind];
    std::size_t at = 0;
    int line = 1;
    if (harm.problem != file_has_byte_order_mark && !file.lines.empty()) {
      const auto index = static_cast<std::size_t>(maker.below(static_cast<int>(file.lines.size())));
      const line_span span = file.lines[index];
      at = span.start +
           static_cast<std::size_t>(maker.below(static_cast<int>(span.end - span.start) + 1));
      while (at > span.start && (static_cast<unsigned char>(file.bytes[at]) & 0xC0) == 0x80) --at;
      line = static_cast<int>(index) + 1;
    }
    std::string damaged = file.bytes;
    damaged.insert(
        at, harm.forms[static_cast<std::size_t>(maker.below(static_cast<int>(harm.forms.size())))]);
    const file_verdict damaged_verdict = check_binding_text(damaged);
    ASSERT_EQ(damaged_verdict.problem, harm.problem) << harm.kind << ", " << c_literal(damaged);
    ASSERT_EQ(damaged_verdict.line, line) << harm.kind << ", " << c_literal(damaged);
    ++refused_damaged[kind];
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

  std::printf(
      "%llu random files in %.1f s (cap %llu files or %lld s): %llu kept when saved; "
      "refused, and mangled when saved anyway: %llu for text after a section name, %llu "
      "for a player section running into the next\n",
      static_cast<unsigned long long>(ran), took.count(), static_cast<unsigned long long>(cases),
      static_cast<long long>(time_budget.count()), static_cast<unsigned long long>(kept),
      static_cast<unsigned long long>(text_after_section),
      static_cast<unsigned long long>(section_runs_on));
  for (std::size_t i = 0; i < damages().size(); ++i)
    std::printf("  %llu damaged copies refused: %s\n",
                static_cast<unsigned long long>(refused_damaged[i]), damages()[i].kind);
  // A generator that stopped making acceptable files would test nothing.
  EXPECT_GT(kept, ran / 2);
  EXPECT_GT(text_after_section, 0U);
  EXPECT_GT(section_runs_on, 0U);
}

// Smallest files found where the library mangled what the check let through, now refused.
struct mangled_file {
  const char *name;
  std::string bytes;
  file_problem problem;
  int line;
};

void PrintTo(const mangled_file &file, std::ostream *out) {
  *out << file.name;
}

class MangledFile : public ::testing::TestWithParam<mangled_file> {};

TEST_P(MangledFile, IsRefusedWhereTheLibraryWouldMangleIt) {
  ASSERT_TRUE(start_library_without_system());
  const mangled_file &file = GetParam();
  const file_verdict verdict = check_binding_text(file.bytes);
  EXPECT_EQ(verdict.problem, file.problem);
  EXPECT_EQ(verdict.line, file.line);
  // Still mangled by the library: the refusal is needed.
  const scratch_directory directory;
  ASSERT_TRUE(directory.ok());
  const binding_values values = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_NE(round_trip(directory.file(), file.bytes, 0, values), "");
}

// Saving rewrote "[a] b" as "[a]b", no longer a section; missing keys of a section went to the
// end of the next one when no empty line stood between them.
INSTANTIATE_TEST_SUITE_P(
    Minimised, MangledFile,
    ::testing::Values(mangled_file{"TextAfterSectionName", "[a] b", file_section_line_has_text, 1},
                      mangled_file{"IniCommentAfterPlayerSection",
                                   "[jugador0] ; uno\r\narriba = 84\r\n",
                                   file_section_line_has_text, 1},
                      mangled_file{"SpaceInSectionName", "# teclas\n[mi seccion]\nx = 1\n",
                                   file_section_line_has_text, 2},
                      mangled_file{"IdeographicSpaceAfterSectionName", "[a]\xE3\x80\x80x\n",
                                   file_section_line_has_text, 1},
                      mangled_file{"IncompletePlayerSectionRunsIntoNext", "[jugador0]\n[a]",
                                   file_player_section_runs_on, 2},
                      mangled_file{"OnlySpacesBetweenSections",
                                   "[jugador0]\rarriba = 1\r \r[sonido]\rvol = 3\r",
                                   file_player_section_runs_on, 4},
                      mangled_file{"LfCrIsOneLineBreakToTheLibrary", "[jugador0]\n\r[a]\n",
                                   file_player_section_runs_on, 3}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(FileRoundTrip, LayoutsTheLibraryKeepsAreAccepted) {
  ASSERT_TRUE(start_library_without_system());
  const scratch_directory directory;
  ASSERT_TRUE(directory.ok());
  const std::string complete =
      "[jugador0]\narriba = 1\nabajo = 2\nizquierda = 3\nderecha = 4\ntrompada = 5\n"
      "bloqueo = 6\npatada = 7\n";
  const std::string kept[] = {
      "[jugador0] # uno\narriba = 1\n",
      "[jugador0]  =  # uno\n",
      "[a\n",
      "[a #b\n",
      "[jugador0]\narriba = 1\n\n[a]\nx = 2\n",
      "[jugador0]\r\n# c\r\n\r\n[a]\r\nx = 2\r\n",
      "[a]\n[jugador0]\n",
      complete + "[a]\nx = 2\n",        // nothing to add, so nothing lands in [a]
      "[jugador0]\n[a]\n[JUGADOR0]\n",  // keys added after [JUGADOR0], the same section
  };
  const binding_values values = {10, 20, 30, 40, 50, 60, 70};
  for (const std::string &bytes : kept) {
    EXPECT_EQ(check_binding_text(bytes).problem, file_ok) << c_literal(bytes);
    for (int player = 0; player < 2; ++player)
      EXPECT_EQ(round_trip(directory.file(), bytes, player, values), "") << c_literal(bytes);
  }
}

// The fuzz target's seeds are what their names say: valid-* kept when saved, refused-* refused.
TEST(FileRoundTrip, FuzzSeedsAreWhatTheirNamesSay) {
  ASSERT_TRUE(start_library_without_system());
  const scratch_directory directory;
  ASSERT_TRUE(directory.ok());
  const binding_values values = {10, 20, 30, 40, 50, 60, 70};
  int seeds = 0;
  for (const auto &entry : std::filesystem::directory_iterator(BRUMO_FUZZ_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string name = entry.path().filename().string();
    const file_verdict verdict = check_binding_text(bytes);
    if (name.rfind("valid-", 0) == 0) {
      EXPECT_EQ(verdict.problem, file_ok) << name;
      if (verdict.problem == file_ok) {
        for (int player = 0; player < 2; ++player)
          EXPECT_EQ(round_trip(directory.file(), bytes, player, values), "") << name;
      }
    } else {
      EXPECT_EQ(name.rfind("refused-", 0), 0U) << name;
      EXPECT_NE(verdict.problem, file_ok) << name;
    }
    ++seeds;
  }
  EXPECT_GT(seeds, 0);
}

}  // namespace
