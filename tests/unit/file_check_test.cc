// The binding file's check on bytes: what it accepts, each kind of refusal with its line, and
// the message. The file system's cases (links, FIFOs, permissions) run on screen.
#include "bindings/file_check.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
