// The key names and the library's numbers in the file's, the key-press ring fed as the keyboard
// thread feeds it, the hotkey step over a key state of its own, the capture on a memory screen.
#include <allegro.h>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>
#include "app/platform.h"
#include "app/screen.h"
#include "app/stop_request.h"
#include "bindings/capture.h"
#include "fuzz/save_property.h"

// The library's key constants that a header or source file declares, KEY_ left off, and numbers.
static std::map<std::string, int> constants_in(const std::string &text) {
  std::map<std::string, int> values;
  const std::regex constant(R"(__allegro_KEY_(\w+)\s*=\s*(\d+))");
  for (std::sregex_iterator at(text.begin(), text.end(), constant), end; at != end; ++at)
    values[(*at)[1]] = std::stoi((*at)[2]);
  return values;
}
static std::string text_of(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
// The row's name where it is not the constant's.
static std::string file_name(const std::string &bare) {
  static const std::map<std::string, std::string> names = {
      {"COMMA", "COMA"},          {"STOP", "PUNTO"},       {"MINUS", "MENOS"},
      {"EQUALS", "IGUAL"},        {"LEFT", "IZQUIERDA"},   {"RIGHT", "DERECHA"},
      {"UP", "ARRIBA"},           {"DOWN", "ABAJO"},       {"ASTERISK", "ASTERISCO"},
      {"MINUS_PAD", "MENOS_PAD"}, {"PLUS_PAD", "MAS_PAD"}, {"SEMICOLON", "COLON"}};
  return names.count(bare) != 0 ? names.at(bare) : bare;
}

// Every key constant of the library the program is built with has its row, by its name, in the
// file's numbering; those 4.4 added for other systems have none (but Windows' SEMICOLON, COLON).
// Promises [P24 P30 P34 P153 P155 P156 P157 P158 P159 P170]
TEST(KeyNames, EveryKeyOfTheLibraryHasItsRowAndTheEdgesNone) {
  const auto values = constants_in(text_of(BRUMO_KEYBOARD_HEADER));
  EXPECT_EQ(values.size(), 128U);
  for (const auto &[bare, value] : values) {
    if (bare == "MODIFIERS") continue;  // LSHIFT's other name
    const bool other_os = value >= KEY_EQUALS_PAD && value <= KEY_UNKNOWN8 && bare != "SEMICOLON";
    if (value == KEY_MAX || other_os)
      EXPECT_EQ(file_scancode(value), no_file_scancode) << bare;
    else
      EXPECT_EQ(key_name(file_scancode(value)), file_name(bare)) << bare;
  }
  // The game reads the arrows and modifiers by these numbers; 0 is no key, bound to no action.
  for (const auto &[from, to] : {std::pair{KEY_LEFT, 82}, {KEY_LSHIFT, 103}, {KEY_CAPSLOCK, 114}})
    EXPECT_EQ(file_scancode(from), to);
  for (const int none : {0, -1}) EXPECT_EQ(file_scancode(none), no_file_scancode);
  EXPECT_EQ(std::string(key_name(0)) + key_name(115) + key_name(116), "(none)MAX(none)");
}

// Every key the library's Windows driver knows by its DirectInput code has its number in the file,
// under the name of its library constant: read from the library's source as the Windows build
// unpacks it (BRUMO_ALLEGRO_SOURCE; make test-windows sets it), where a table not found throws.
// Promises [P131 P144]
TEST(KeyNames, EveryKeyOfTheWindowsTableHasItsNumberInTheFile) {
  const char *source = std::getenv("BRUMO_ALLEGRO_SOURCE");
  if (source == nullptr) GTEST_SKIP() << "no library source: make test-windows runs this";
  const std::string text = text_of(source + std::string("/include/allegro/keyboard.h")) +
                           text_of(source + std::string("/src/win/wkeybd.c"));
  auto values = constants_in(text);
  const std::size_t start = text.find('{', text.find("hw_to_mycode[256] ="));
  const std::string table = text.substr(start, text.find("};", start) - start);
  int code = 0;  // the comments' "0x00" are no entries: the count of 256 says so
  const std::regex entry(R"(KEY_(\w+)|\b0\b)");
  for (std::sregex_iterator at(table.begin(), table.end(), entry), end; at != end; ++at, ++code) {
    const std::string bare = (*at)[1];               // empty for 0: no key sends this code
    const int number = file_scancode(values[bare]);  // a constant not found is 0, no key
    EXPECT_TRUE(bare.empty() ||
                (number >= 1 && number <= 114 && key_name(number) == file_name(bare)))
        << code << " " << bare;
  }
  EXPECT_EQ(code, 256);
}

// Events to the hook as the keyboard thread sends them: a key for its press, minus it its release.
static void send(std::initializer_list<int> events) {
  for (const int event : events) on_key_event(event > 0 ? event : -event | 0x80);
}
static std::vector<int> take_all() {
  std::vector<int> presses;
  for (int scancode = 0; (scancode = take_key_press()) >= 0;) presses.push_back(scancode);
  return presses;
}
// Promises [P23]
TEST(KeyPresses, EveryPressOnceInOrderButTheHotkeysOwnPressAndPressesPastAFullQueue) {
  char held[KEY_MAX] = {};
  forget_key_presses(held);
  // Both Shifts at once are two presses (the library hands over no repeats).
  send({KEY_LSHIFT, KEY_RSHIFT, -KEY_LSHIFT, -KEY_RSHIFT, KEY_LSHIFT, -KEY_LSHIFT});
  EXPECT_EQ(take_all(), (std::vector<int>{KEY_LSHIFT, KEY_RSHIFT, KEY_LSHIFT}));
  // The hotkey's press reaches the hook after the queue was cleared, 1 still held; its next counts.
  send({KEY_C, -KEY_C});
  held[KEY_1] = 1;
  forget_key_presses(held);
  send({KEY_1, KEY_B, -KEY_B, -KEY_1, KEY_1, -KEY_1});
  EXPECT_EQ(take_all(), (std::vector<int>{KEY_B, KEY_1}));
  for (int i = 0; i < 70; ++i) send({KEY_A + i % 26, -(KEY_A + i % 26)});
  std::vector<int> typed(64);  // the first 64: the rest found the queue full
  for (std::size_t i = 0; i < typed.size(); ++i) typed[i] = KEY_A + static_cast<int>(i % 26);
  EXPECT_EQ(take_all(), typed);
  send({KEY_Z, -KEY_Z});
  EXPECT_EQ(take_all(), std::vector<int>{KEY_Z});
}
// Promises [P13 P14 P15 P16 P38]
TEST(HotkeyStep, MainKeyboardDigitsStartOncePerPressInPlayerOrder) {
  static std::vector<int> started;
  char held[2] = {};
  // The keys down at each step, and the players whose captures were started by then.
  const std::pair<std::vector<int>, std::vector<int>> steps[] = {
      {{KEY_1_PAD, KEY_2_PAD}, {}}, {{KEY_2, KEY_1}, {0, 1}},
      {{KEY_2, KEY_1}, {0, 1}},     {{KEY_2}, {0, 1}},
      {{KEY_2, KEY_1}, {0, 1, 0}},
  };
  for (const auto &[down, players] : steps) {
    volatile char keys[KEY_MAX] = {};
    for (const int scancode : down) keys[scancode] = 1;
    hotkey_step(keys, held[0], held[1], [](int player) { started.push_back(player); });
    EXPECT_EQ(started, players);
  }
}

// The window at most half of the smallest monitor each way, magnified by a whole factor.
// Promises [P176]
TEST(Screen, FactorIsTheLargestWholeOneThatFitsHalfTheMonitor) {
  const int sizes[][3] = {{640, 480, 1},   {1366, 768, 1},  {1279, 960, 1},  {1280, 959, 1},
                          {1280, 960, 2},  {1920, 1080, 2}, {2560, 1440, 3}, {3840, 2160, 4},
                          {1080, 1920, 1}, {0, 0, 1}};
  for (const auto &[width, height, factor] : sizes)
    EXPECT_EQ(screen_factor(width, height), factor) << width << "x" << height;
}

// Whether a "= NAME" cell has been shown on row i of the memory screen.
static bool name_drawn(int row) {
  for (int at = 0; at < 20 * 8; ++at)  // 20 by 8 pixels
    if (getpixel(screen, 220 + at % 20, 10 + 10 * row + at / 20) != 0) return true;
  return false;
}
// Promises [P20 P23 P35 P36]
TEST(Capture, KeysHandedOverBeforeTheLastNameIsDrawn) {
  ASSERT_TRUE(library_started());
  set_color_depth(16);
  screen = create_bitmap(320, 240);  // what is shown, at factor 1
  picture = create_bitmap(320, 240);
  taken_keys taken;
  std::atomic<bool> done{false};
  std::thread typist([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));  // before the first prompt
    for (const int scancode : {KEY_UP, KEY_LSHIFT, KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F})
      send({scancode, -scancode});
    // A capture that lost a key would wait for ever: a stop request ends it, and the test fails.
    for (int waited = 0; waited < 500 && !done; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) request_stop();
  });
  EXPECT_TRUE(capture_player_keys(1, taken));
  const std::vector<int> kept(taken.codes.begin(), taken.codes.end());
  EXPECT_EQ(kept, (std::vector<int>{84, 103, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(taken.player == 1 && name_drawn(5) && !name_drawn(6));
  finish_capture(taken);
  EXPECT_TRUE(name_drawn(6));
  EXPECT_EQ(take_key_press(), -1);  // F closed the list
  done = true;
  typist.join();
  destroy_bitmap(screen);
  screen = nullptr;
}

// Windows has a folder Explorer opens a zip into, which, like any under it, is no game's folder;
// elsewhere a game may live anywhere, under /tmp too. The library's exit puts back SIGTERM's
// default action: a program winding down must not take it (Windows has no signals).
// Promises [P127]
TEST(TemporaryFolderAndStopRequests, RefusedOnWindowsAndWaitUnansweredOnceTheProgramWindsDown) {
#ifndef _WIN32
  block_stop_requests();
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) EXPECT_EQ(sigismember(&blocked, signal), 1);
#endif
  const auto here = std::filesystem::current_path();
  const auto temporary = std::filesystem::temp_directory_path();
  const bool windows = std::filesystem::path::preferred_separator == '\\';
  std::filesystem::create_directories(temporary / "Temp1_brumo.zip");
  for (const auto &folder : {temporary, temporary / "Temp1_brumo.zip", here}) {  // back here last
    std::filesystem::current_path(folder);
    EXPECT_EQ(in_temporary_folder(), windows && folder != here) << folder;
  }
  std::filesystem::remove(temporary / "Temp1_brumo.zip");
}
