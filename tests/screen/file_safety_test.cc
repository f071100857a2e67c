// A binding file the library would block on, mangle or fail to save stops the program before
// its screen opens, and stays byte for byte as it was; signals end the program like ESC.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "bindings/file_check.h"
#include "screen_test.h"

namespace {

struct crafted_file {
  const char *name;
  std::string bytes;
  file_problem problem;
  int line;
  const char *reason;  // part of the message
};

void PrintTo(const crafted_file &file, std::ostream *out) {
  *out << file.name;
}

std::string operator""_bytes(const char *text, std::size_t size) {
  return {text, size};
}

const crafted_file crafted_files[] = {
    {"ByteOrderMark", "\xEF\xBB\xBF[jugador0]\narriba = 84\n", file_has_byte_order_mark, 1,
     "linea 1: empieza con una marca de orden de bytes"},
    {"NulByte",
     "[jugador0]\narriba = 8\0"_bytes
     "4\nabajo = 85\n",
     file_has_nul_byte, 2, "linea 2: contiene un byte nulo"},
    // A Latin-1 accent at the end of a comment once swallowed the next section's header.
    {"Latin1Comment", "# teclas de Ram\xF3n\n[jugador1]\narriba = 84\n", file_not_utf8, 1,
     "linea 1: no es texto UTF-8 valido"},
    {"StrayContinuationByte", "[a]\r\nx = 1\r\ny = \x80\r\n", file_not_utf8, 3, "linea 3"},
    {"TruncatedSequence", "[a]\rx = \xE2\x82\r", file_not_utf8, 2, "linea 2"},
    {"OverlongSlash", "[a]\nx = \xC0\xAF\n", file_not_utf8, 2, "UTF-8"},
    {"FiveByteForm", "[a]\n\n\nx = \xF8\x88\x80\x80\x80\n", file_not_utf8, 4, "linea 4"},
    {"SixByteForm", "x = \xFC\x84\x80\x80\x80\x80\n", file_not_utf8, 1, "UTF-8"},
    {"PastLastCodePoint", "x = \xF4\x90\x80\x80\n", file_not_utf8, 1, "UTF-8"},
    {"Surrogate", "x = \xED\xA0\x80\n", file_not_utf8, 1, "UTF-8"},
    // Saved as "[jugador0];", no longer a header: the player's keys would join the section above.
    {"TextAfterSectionName", "[teclado]\nmapa = es\n[jugador0] ; Brumo\narriba = 84\n",
     file_section_line_has_text, 3, "linea 3: la cabecera de seccion tiene un espacio"},
    // The library would add the six missing keys under [sonido].
    {"PlayerSectionRunsIntoTheNext", "[jugador0]\narriba = 84\n[sonido]\nvolumen = 3\n",
     file_player_section_runs_on, 3, "linea 3: esta seccion empieza sin una linea vacia"},
    // The library's loader writes past its line buffer on the accent at byte 256.
    {"LongLineWithAccent", "[a]\n# " + std::string(252, 'x') + "\xC3\xA9\n",
     file_long_line_not_ascii, 2, "linea 2: mide mas de 250 bytes y tiene caracteres no ASCII"},
    {"FarTooLarge", std::string(binding_file_size_cap, '#') + "\n", file_too_large, 0,
     "mide mas de 1 MiB"},
};

class RefusedFile : public ScreenTest, public ::testing::WithParamInterface<crafted_file> {};

TEST_P(RefusedFile, StopsTheProgramWithItsReasonAndLeavesTheFileAsItWas) {
  const crafted_file &file = GetParam();
  const file_verdict verdict = check_binding_text(file.bytes);
  EXPECT_EQ(verdict.problem, file.problem);
  if (file.line != 0) {
    EXPECT_EQ(verdict.line, file.line);
  }

  write_binding_file(file.bytes);
  start_program_only();
  expect_refusal(file.reason);
  EXPECT_EQ(read_binding_file(), file.bytes);
}

INSTANTIATE_TEST_SUITE_P(CraftedBytes, RefusedFile, ::testing::ValuesIn(crafted_files),
                         [](const auto &test) { return std::string(test.param.name); });

TEST_F(ScreenTest, DirectoryNamedLikeTheFileIsRefusedBeforeAnyScreen) {
  ASSERT_EQ(mkdir(binding_file().c_str(), 0755), 0);
  start_program_only();
  expect_refusal("\"brumo.ini\" no es un archivo normal sino un directorio");
  EXPECT_TRUE(std::filesystem::is_directory(binding_file()));
}

TEST_F(ScreenTest, FifoNamedLikeTheFileIsRefusedWithoutBlocking) {
  ASSERT_EQ(mkfifo(binding_file().c_str(), 0644), 0);
  start_program_only();
  expect_refusal("tuberia con nombre (FIFO)");
}

TEST_F(ScreenTest, DeviceBehindALinkIsRefused) {
  std::filesystem::create_symlink("/dev/null", binding_file());
  start_program_only();
  expect_refusal("sino un dispositivo");
}

TEST_F(ScreenTest, LinkToNothingIsRefusedRatherThanSavingNowhere) {
  std::filesystem::create_symlink("/no/such/directory/brumo.ini", binding_file());
  start_program_only();
  expect_refusal("\"brumo.ini\" es un enlace a un archivo que no existe");
  EXPECT_TRUE(std::filesystem::is_symlink(binding_file()));
}

TEST_F(ScreenTest, FileThatCannotBeWrittenIsRefusedAndKept) {
  const std::string before = "[jugador0]\narriba = 84\n";
  write_binding_file(before);
  ASSERT_EQ(chmod(binding_file().c_str(), 0444), 0);
  ASSERT_EQ(chmod(test_dir_.c_str(), 0755), 0);
  ASSERT_EQ(chmod(work_dir_.c_str(), 0777), 0);
  start_program_only(/*unprivileged=*/true);
  expect_refusal("no se puede escribir \"brumo.ini\" (permiso denegado)");
  EXPECT_EQ(read_binding_file(), before);
}

TEST_F(ScreenTest, DirectoryWhereTheFileCannotBeMadeIsRefused) {
  ASSERT_EQ(chmod(test_dir_.c_str(), 0755), 0);
  ASSERT_EQ(chmod(work_dir_.c_str(), 0555), 0);
  start_program_only(/*unprivileged=*/true);
  expect_refusal("no se puede crear \"brumo.ini\" en este directorio (permiso denegado)");
  EXPECT_FALSE(binding_file_exists());
}

TEST_F(ScreenTest, Utf8TextWithCrlfAndAccentsIsAcceptedAndKept) {
  write_binding_file(
      "# Configuraci\xC3\xB3n de Ram\xC3\xB3n \xF0\x9F\x90\xBB\r\n[jugador1]\r\n"
      "nombre = Tuk \xE2\x80\x94 el oso\r\narriba = 84\r\n");
  start_program();
  capture("2", {{"Down", "ABAJO"}});
  program_->send_signal(SIGTERM);
  ASSERT_EQ(exit_status(), 0);
  const std::string file = read_binding_file();
  EXPECT_NE(file.find("# Configuraci\xC3\xB3n de Ram\xC3\xB3n \xF0\x9F\x90\xBB"), std::string::npos)
      << file;
  EXPECT_NE(file.find("nombre = Tuk \xE2\x80\x94 el oso"), std::string::npos) << file;
  EXPECT_NE(file.find("arriba = 85"), std::string::npos) << file;
}

// Signals: the bindings taken so far reach the file, and the program ends with status 0.
class StopSignal : public ScreenTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, InTheMiddleOfACaptureKeepsTheKeysTaken) {
  write_binding_file("[jugador0]\narriba = 1\nabajo = 2\nizquierda = 3\n");
  start_program();
  capture("1", {{"Up", "ARRIBA"}, {"x", "X"}});
  program_->send_signal(GetParam());
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(read_binding_file(), "[jugador0]\narriba = 84\nabajo = 24\nizquierda = 3\n");
}

TEST_P(StopSignal, InTheMenuAfterACaptureEndsWithStatusZeroAndTheFileWritten) {
  start_program();
  capture("2", {{"KP_8", "8_PAD"},
                {"KP_2", "2_PAD"},
                {"KP_4", "4_PAD"},
                {"KP_6", "6_PAD"},
                {"Shift_R", "RSHIFT"},
                {"Control_R", "RCONTROL"},
                {"Return", "ENTER"}});
  x_->press("space");
  ASSERT_TRUE(shows(menu_screen()));
  program_->send_signal(GetParam());
  EXPECT_EQ(exit_status(), 0);
  EXPECT_EQ(read_binding_file(),
            "[jugador1]\narriba = 45\nabajo = 39\nizquierda = 41\nderecha = 43\n"
            "trompada = 104\nbloqueo = 106\npatada = 67\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto &test) { return std::string(sigabbrev_np(test.param)); });

}  // namespace
