// The binding file's check on bytes: what it accepts, each kind of refusal with its line, and
// the message, in every line ending; the in-place write with failures injected. The file
// system's cases (links, FIFOs, permissions, a full disk) run on screen.
#include "bindings/file_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "storage/in_place_write.h"

namespace {

TEST(CheckBindingText,
     AcceptsUtf8TextInAnyLineEndingUpToTheCapAndRefusesWhatTheLibraryWouldDamage) {
  const std::string accepted[] = {
      "# sin salto final\r\n[jugador1]\r\nabajo=85",
      "[a]\rx = \xF0\x9F\x90\xBB \xF4\x8F\xBF\xBF\rx = \xEF\xBB\xBF\n[jugador0] # Brumo\n",
      std::string(4000, 'x') + " = 1\n" + std::string(binding_file_size_cap - 4005, '\n'),
  };
  for (const std::string &text : accepted) EXPECT_EQ(check_binding_text(text).problem, file_ok);
  const struct {
    std::string text;
    file_problem problem;
    int line;
  } refused[] = {
      {"\xEF\xBB\xBF[jugador0]\n", file_has_byte_order_mark, 1},
      {std::string("[a]\nx = 8\0"
                   "4\n\xFF",
                   13),
       file_has_nul_byte, 2},                          // before a later bad byte
      {"# Ram\xF3n\n[jugador1]\n", file_not_utf8, 1},  // Latin-1
      {"[a]\r\nx = 1\r\ny = \x80\r\n", file_not_utf8, 3},
      {"a\rb\r\rx = \xC0\xAF", file_not_utf8, 4},    // overlong
      {"x = \xED\xA0\x80\n", file_not_utf8, 1},      // surrogate
      {"x = \xF4\x90\x80\x80\n", file_not_utf8, 1},  // past U+10FFFF
      {"[teclado]\n[jugador0] ; Brumo\n", file_section_line_has_text, 2},
      {"[mi seccion]\n", file_section_line_has_text, 1},
      {"[jugador0]\narriba = 84\n[sonido]\n", file_player_section_runs_on, 3},
      {"[jugador0]\narriba = 84\n# y  \n  \n[sonido]\n", file_player_section_runs_on, 5},
      {"[a]\n# " + std::string(252, 'x') + "\xC3\xA9\n", file_long_line_not_ascii, 2},
      {std::string(binding_file_size_cap + 1, '#'), file_too_large, 0},
  };
  for (const auto &[text, problem, line] : refused) {
    const file_verdict verdict = check_binding_text(text);
    EXPECT_EQ(verdict.problem, problem) << text.substr(0, 60);
    EXPECT_EQ(verdict.line, line) << text.substr(0, 60);
  }
  EXPECT_EQ(describe_verdict({file_too_large}, "brumo.ini"),
            "\"brumo.ini\" mide mas de 1 MiB: no parece un archivo de teclas; no se ha modificado");
}

TEST(CheckBindingText, EveryRefusalInTheTextNamesItsLineInAnyLineEnding) {
  const std::pair<std::string, int> refused[] = {
      {"\xEF\xBB\xBF[a]|x = 1", 1},
      {std::string("[a]|x = 1|\0", 11), 3},
      {"[a]|# b||x = \xC3", 4},
      {"[a]||[b] c", 3},
      {"|[a]|# " + std::string(252, 'x') + "\xC3\xA9|", 3},
      {"[a]|[jugador1]|arriba = 1|# y|[b]|", 5},
  };
  for (const char *line_break : {"\n", "\r\n", "\r"}) {
    for (const auto &[lines, line] : refused) {
      const std::string text = std::regex_replace(lines, std::regex("\\|"), line_break);
      const std::string message = describe_verdict(check_binding_text(text), "brumo.ini");
      const std::string names = "\"brumo.ini\", linea " + std::to_string(line) + ": ";
      EXPECT_EQ(message.rfind(names, 0), 0U) << message;
    }
  }
}

std::string file_holding(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int calls = 0;
int failing_calls = 0;  // how many of the stand-in's calls fail, from its second on

ssize_t failing_write(int fd, const void *bytes, std::size_t size, off_t offset) {
  if (++calls > 1 && calls <= 1 + failing_calls) {
    errno = ENOSPC;
    return -1;
  }
  return pwrite(fd, bytes, size / 2 + 1, offset);  // half, then the rest
}

TEST(WriteInPlace, LeavesExactlyTheNewTextOrPutsTheOldOneBack) {
  char path[] = "/tmp/brumo-write-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string longer = "[jugador1]\narriba = 84\nabajo = 85\n";
  const std::string shorter = "[jugador0]\narriba = 1\n";
  ASSERT_EQ(write_in_place(fd, "", longer, pwrite).error, 0);
  ASSERT_EQ(write_in_place(fd, longer, shorter, pwrite).error, 0);
  EXPECT_EQ(file_holding(path), shorter);
  // Fails half-way through the new text; then, the second time, while putting the old one back.
  for (const int failing : {1, 99}) {
    calls = 0;
    failing_calls = failing;
    const write_outcome outcome = write_in_place(fd, shorter, longer, failing_write);
    EXPECT_EQ(outcome.error, ENOSPC);
    EXPECT_EQ(outcome.restored, failing == 1);
    EXPECT_EQ(file_holding(path) == shorter, failing == 1);
  }
  close(fd);
  std::remove(path);
}

}  // namespace
