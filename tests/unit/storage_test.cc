// The byte check and trial save (acceptances, refusals with their lines, mends), the file's write
// and the save's property over the fuzzer's seed files and random ones.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <string>
#include <tuple>
#include "app/messages.h"
#include "app/platform.h"
#include "fuzz/save_property.h"
#include "storage/in_place_write.h"
#include "storage/trial_save.h"

// Each system's own: the room a file holds, the files open; then the library writer's line end.
#ifdef _WIN32
static std::size_t room_held(int fd) {
  FILE_STANDARD_INFO info{};
  const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info);
  return static_cast<std::size_t>(info.AllocationSize.QuadPart);
}
static long open_files() {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return static_cast<long>(handles);
}
// Wine reserves no room beyond a file's length (measured); Windows does.
const bool reserves_room =
    GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
#else
static std::size_t room_held(int fd) {
  struct stat status {};
  return fstat(fd, &status) == 0 ? static_cast<std::size_t>(status.st_blocks) * 512 : 0;
}
static long open_files() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}
constexpr bool reserves_room = true;
#endif
const char *const line_end = std::filesystem::path::preferred_separator == '\\' ? "\r\n" : "\n";
static file_verdict judged(const std::string &text, int player, std::string &saved) {
  const file_verdict bytes = check_bytes(text);
  return bytes.problem != file_ok ? bytes : trial_save(text, player, {9, 9, 9, 9, 9, 9, 9}, saved);
}
// Promises [P71 P72 P73 P74 P86]
TEST(ByteCheck, AcceptsUtf8TextInAnyLineEndingUpToTheCap) {
  const std::string accepted[] = {
      "# sin salto final\r\n[jugador1]\r\nabajo=85",
      "[a]\rx = \xF0\x9F\x90\xBB \xF4\x8F\xBF\xBF\rx = \xEF\xBB\xBF\n[jugador0] # Brumo\n",
      std::string(4000, 'x') + " = 1\n" + std::string(binding_file_size_cap - 4005, '\n'),
      "# " + std::string(246, 'x') + "\xC3\xA9\n",  // 250 bytes: the longest line with accents
  };
  for (const std::string &text : accepted) EXPECT_EQ(check_bytes(text).problem, file_ok);
  EXPECT_EQ(
      describe(check_bytes(std::string(binding_file_size_cap + 1, '#'))),
      R"("brumo.ini" mide mas de 64 KiB: no parece un archivo de teclas; no se ha modificado)");
}
// Promises [P66 P67 P68 P69 P70 P71 P84 P85 P87 P88 P113]
TEST(ByteCheckAndTrialSave, EveryRefusalInTheTextNamesItsLineInAnyLineEnding) {
  ASSERT_TRUE(library_started());
  const std::tuple<std::string, file_problem, int> refused[] = {
      // '|' for the line break
      {" \xE2\x80\x80\xEF\xBB\xBF[a]|x = 1", file_has_byte_order_mark, 1},    // after spaces
      {"[a]|x = 8" + std::string(1, '\0') + "4|\xFF", file_has_nul_byte, 2},  // then a bad byte
      {"# Ram\xF3n|[jugador1]", file_not_utf8, 1},                            // Latin-1
      {"[a]|# b||x = \xC0\xAF", file_not_utf8, 4},                            // overlong
      {"x = \xED\xA0\x80", file_not_utf8, 1},                                 // surrogate
      {"x = \xF4\x90\x80\x80", file_not_utf8, 1},                             // past U+10FFFF
      {"|[a]|# " + std::string(252, 'x') + "\xC3\xA9|", file_long_line_not_ascii, 3},
      {"[a]|nombre = " + std::string(240, 'x') + "\xC3\xA9", file_long_line_not_ascii, 2},  // 251
      {"[teclado]|[jugador0] ; Brumo|", file_line_changed, 2},
      {"[a]||[mi seccion]|x = 1", file_line_changed, 3},
      {"[a]|[b] c", file_line_changed, 2},
      {"# x|[teclas = 3|[jugador0]", file_line_changed, 2},  // saved as the entry "[teclas3"
      {"[JUGADOR0]| [jugador1]|[ jugador0 ]|", file_line_changed, 3},  // read as "[" = "jugador0 ]"
  };
  for (const char *line_break : {"\n", "\r\n", "\r"})
    for (const auto &[lines, problem, line] : refused) {
      const std::string text = std::regex_replace(lines, std::regex("\\|"), line_break);
      std::string saved;
      const file_verdict verdict = judged(text, 0, saved);
      EXPECT_EQ(verdict.problem, problem) << text;
      const std::regex names(R"("brumo\.ini", linea )" + std::to_string(line) +
                             ": .*; no se ha modificado");
      EXPECT_TRUE(std::regex_match(describe(verdict), names)) << describe(verdict);
    }
  EXPECT_NE(describe({file_keys_misplaced, 4, 0, 0, 1}).find("del jugador 2 "), std::string::npos);
}
// Promises [P72 P74 P77 P86 P90 P91 P92 P114 P134 P150 P152 P164]
TEST(TrialSave, AnEmptyLineWhereTheLibraryNeedsOneIsAllItAdds) {
  ASSERT_TRUE(library_started());
  const std::string keys =
      "arriba = 9\nabajo = 9\nizquierda = 9\nderecha = 9\ntrompada = 9\nbloqueo = 9\npatada = 9\n";
  const std::tuple<std::string, int, std::string> mended[] = {
      {"[jugador1]", 0, "[jugador1]\n\n[jugador0]\n" + keys},
      {"[jugador0]\r\narriba = 84\r\nalias = [B]\r\n[sonido]\r\nvolumen = 3\r\n", 0,
       "[jugador0]\narriba = 9\nalias = [B]\n" + keys.substr(11) + "\n[sonido]\nvolumen = 3\n"},
      {"[jugador0]\narriba = 84\n[sonido]\nvolumen = 3", 1,
       "[jugador0]\narriba = 84\n\n[sonido]\nvolumen = 3\n\n[jugador1]\n" + keys},
      {"# x\n[JUGADOR0]\nArriba = 1\n\n", 0,
       "# x\n[JUGADOR0]\nArriba = 9\n" + keys.substr(11) + "\n"},
      {"[jugador0]\rarriba = 1\r[otra]\rz = 1\r", 0,  // the empty line added in the file's CR
       "[jugador0]\n" + keys + "\n[otra]\nz = 1\n"},
      {"[a]\rx = 1\r[jugador1]\r", 0, "[a]\nx = 1\n[jugador1]\n\n[jugador0]\n" + keys},
      {"[jugador1]\nx =", 0, "[jugador1]\nx = \n\n[jugador0]\n" + keys},
      {"[jugador0] # Brumo\narriba = 1\n", 0, "[jugador0]# Brumo\n" + keys},
      {std::string(4000, 'x') + " = 1", 1, std::string(4000, 'x') + " = 1\n\n[jugador1]\n" + keys},
  };
  for (const auto &[text, player, expected] : mended) {
    std::string saved;
    EXPECT_EQ(judged(text, player, saved).problem, file_ok) << text;
    EXPECT_EQ(saved, std::regex_replace(expected, std::regex("\n"), line_end)) << text;
  }
}

// The box and the failed start in each system's terms: xmessage gets lines it can show, Windows'
// box (which wraps by itself) the line whole; a failed start names the display the system has.
// Promises [P49 P57 P60 P96]
TEST(Messages, TheBoxAndTheDisplayInEachSystemsTerms) {
  const std::string line = "brumo-setup: " + describe({file_line_changed, 12});
#ifdef _WIN32
  EXPECT_EQ(message_box_text(line), line);
  EXPECT_EQ(describe(library_not_started, ""),
            "no se pudo iniciar la biblioteca Allegro en el escritorio de Windows");
#else
  EXPECT_EQ(std::regex_replace(message_box_text(line), std::regex("\n"), " "), line);
  EXPECT_TRUE(std::regex_match(message_box_text(line), std::regex("(.{1,60}\n)+.{1,60}")));
  setenv("DISPLAY", ":42", 1);
  EXPECT_EQ(describe(library_not_started, "x"),
            "no se pudo iniciar la biblioteca Allegro en la pantalla DISPLAY=:42: x");
#endif
  EXPECT_EQ(describe(screen_not_opened, "x"),
            "no se pudo abrir la pantalla de 320x240 en color de 16 bits: x");
  // A refusal over a file that is there says it was kept; a file of another kind is named by it.
  for (int problem = file_not_regular; problem <= save_failed; ++problem) {
    const std::string text = describe({static_cast<file_problem>(problem)});
    const bool no_file = problem == directory_not_writable || problem == file_dangling_link;
    EXPECT_EQ(std::regex_search(text, std::regex("; no se ha modificado$")), !no_file) << text;
  }
  for (const auto &[type, kind] : {std::pair{0040000, "un directorio"},
                                   {0010000, "una tuberia"},
                                   {0020000, "un dispositivo"},
                                   {0060000, "un dispositivo"},
                                   {0140000, "un socket"}})
    EXPECT_NE(describe({file_not_regular, 0, type}).find(std::string("sino ") + kind),
              std::string::npos);
}

static std::pair<int, int> calls;  // the stand-in's calls so far, and how many fail from the second
// Writes half, then the rest; the new text's room must be held before its first byte.
static ssize_t failing_write(int fd, const void *bytes, std::size_t size, off_t offset) {
  EXPECT_TRUE(calls.first > 0 || !reserves_room || room_held(fd) >= size) << room_held(fd);
  errno = ENOSPC;  // for a failing call; a successful one leaves errno unread
  if (++calls.first > 1 && calls.first <= 1 + calls.second) return -1;
  return system_write_at(fd, bytes, size / 2 + 1, offset);
}
// Promises [P52 P147 P169]
TEST(WriteInPlace, LeavesExactlyTheNewTextOrPutsTheOldOneBackAndNoFileOpen) {
  ASSERT_TRUE(library_started());
  const auto files_before = open_files();
  const std::string path = (std::filesystem::temp_directory_path() / "brumo-write-test").string();
  std::remove(path.c_str());
  const int fd = open_in_place(path.c_str(), false);
  ASSERT_GE(fd, 0);
  std::string bytes;
  const auto file_holding = [&] { return read_from_start(fd, 1 << 20, bytes) == 0 ? bytes : ""; };
  const std::string longer = "[jugador1]\n#" + std::string(12000, '-') + "\nabajo = 85\n";
  const std::string shorter = "[jugador0]\narriba = 1\n";
  ASSERT_EQ(write_in_place(fd, "", longer, system_write_at).error, 0);
  ASSERT_EQ(write_in_place(fd, longer, shorter, system_write_at).error, 0);
  EXPECT_EQ(file_holding(), shorter);
  // Fails half-way through the new text; then, the second time, while putting the old one back.
  for (const int failing : {1, 99}) {
    calls = {0, failing};
    const write_outcome outcome = write_in_place(fd, shorter, longer, failing_write);
    EXPECT_EQ(std::pair(outcome.error, outcome.restored), std::pair(ENOSPC, failing == 1));
    EXPECT_EQ(file_holding() == shorter, failing == 1);
  }
  close_file(fd);
  read_file(path.c_str(), bytes);
  for (const int player : {0, 1}) judged("[jugador0]", player, bytes);
  std::remove(path.c_str());
  EXPECT_EQ(open_files(), files_before);
}
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
