// The key name table and the library's numbers in the file's (ranges by loop, one row of each
// other range, the edges), the key-press ring fed as the keyboard thread feeds it, the hotkey
// step over a key state of the test's own, and the capture drawing into a memory screen.
#include <allegro.h>
#include <gtest/gtest.h>

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
#include "bindings/capture.h"
#include "bindings/hotkeys.h"
#include "bindings/key_names.h"
#include "bindings/key_presses.h"
#include "storage/platform.h"

bool library_started();  // with the save property

namespace {

TEST(KeyNames, RangesRowsAndEdges) {
  const auto name_of = [](int key) { return std::string(key_name(file_scancode(key))); };
  for (int i = 0; i < 26; ++i) EXPECT_EQ(name_of(KEY_A + i), std::string(1, char('A' + i)));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(name_of(KEY_0 + i), std::to_string(i));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(name_of(KEY_0_PAD + i), std::to_string(i) + "_PAD");
  for (int i = 0; i < 12; ++i) EXPECT_EQ(name_of(KEY_F1 + i), "F" + std::to_string(i + 1));
  const std::pair<int, const char *> rows[] = {
      {KEY_ESC, "ESC"},         {KEY_BACKSLASH2, "BACKSLASH2"}, {KEY_HOME, "HOME"},
      {KEY_PGDN, "PGDN"},       {KEY_LEFT, "IZQUIERDA"},        {KEY_DOWN, "ABAJO"},
      {KEY_EQUALS, "IGUAL"},    {KEY_PLUS_PAD, "MAS_PAD"},      {KEY_NOCONVERT, "NOCONVERT"},
      {KEY_KANJI, "KANJI"},     {KEY_LSHIFT, "LSHIFT"},         {KEY_RCONTROL, "RCONTROL"},
      {KEY_SCRLOCK, "SCRLOCK"}, {KEY_CAPSLOCK, "CAPSLOCK"},     {0, "(none)"},
      {KEY_COMMA, "COMA"},      {KEY_SEMICOLON, "COLON"},  // Windows' name for the key right of L
  };
  for (const auto &[library_key, name] : rows) EXPECT_EQ(name_of(library_key), name);
  ASSERT_EQ(key_names.size(), 116U);
  for (const char *name : key_names) ASSERT_NE(name, nullptr);
  EXPECT_STREQ(key_name(115), "MAX");
  EXPECT_STREQ(key_name(116), "(none)");
  // The game reads the arrows by these numbers; 0 is no key, so no action may be bound to it.
  EXPECT_EQ(file_scancode(KEY_LEFT), 82);
  EXPECT_EQ(file_scancode(KEY_LSHIFT), 103);
  EXPECT_EQ(file_scancode(KEY_CAPSLOCK), 114);
  for (const int library_key : {0, -1, int{KEY_EQUALS_PAD}, int{KEY_UNKNOWN8}, int{KEY_MAX}})
    EXPECT_EQ(file_scancode(library_key), no_file_scancode) << library_key;
}

// Every key the library's Windows driver knows by its DirectInput code has its number in the file,
// under the name of its library constant: read from the library's source as the Windows build
// unpacks it (BRUMO_ALLEGRO_SOURCE; make test-windows sets it).
TEST(KeyNames, EveryKeyOfTheWindowsTableHasItsNumberInTheFile) {
  const char *source = std::getenv("BRUMO_ALLEGRO_SOURCE");
  if (source == nullptr) GTEST_SKIP() << "no library source: make test-windows runs this";
  const auto text_of = [&](const char *file) {
    std::ifstream in(std::string(source) + file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  std::map<std::string, int> values;  // the library's constants
  const std::string header = text_of("/include/allegro/keyboard.h");
  const std::regex constant(R"(__allegro_(KEY_\w+)\s*=\s*(\d+))");
  for (std::sregex_iterator at(header.begin(), header.end(), constant), end; at != end; ++at)
    values[(*at)[1]] = std::stoi((*at)[2]);
  std::string table = text_of("/src/win/wkeybd.c");
  const std::size_t start = table.find('{', table.find("hw_to_mycode[256] ="));
  ASSERT_NE(start, std::string::npos);
  table = std::regex_replace(table.substr(start, table.find("};", start) - start),
                             std::regex(R"(/\*.*?\*/)"), "");
  const std::map<std::string, std::string> file_names = {
      {"COMMA", "COMA"},          {"STOP", "PUNTO"},       {"MINUS", "MENOS"},
      {"EQUALS", "IGUAL"},        {"LEFT", "IZQUIERDA"},   {"RIGHT", "DERECHA"},
      {"UP", "ARRIBA"},           {"DOWN", "ABAJO"},       {"ASTERISK", "ASTERISCO"},
      {"MINUS_PAD", "MENOS_PAD"}, {"PLUS_PAD", "MAS_PAD"}, {"SEMICOLON", "COLON"}};
  std::vector<std::string> exceptions;
  int code = 0;
  const std::regex entry(R"(KEY_\w+|\b0\b)");
  for (std::sregex_iterator at(table.begin(), table.end(), entry), end; at != end; ++at, ++code) {
    const std::string name = at->str();
    if (name == "0") continue;
    const std::string bare = name.substr(4);
    const std::string expected = file_names.count(bare) != 0 ? file_names.at(bare) : bare;
    const int number = values.count(name) != 0 ? file_scancode(values[name]) : no_file_scancode;
    if (number < 1 || number > 114 || key_name(number) != expected)
      exceptions.push_back(std::to_string(code) + " " + name);
  }
  EXPECT_EQ(code, 256);
  EXPECT_EQ(exceptions, std::vector<std::string>{});
}

constexpr int released = 0x80;
void tap(int scancode) {
  on_key_event(scancode);
  on_key_event(scancode | released);
}

std::vector<int> take_all() {
  std::vector<int> presses;
  for (int scancode = take_key_press(); scancode >= 0; scancode = take_key_press())
    presses.push_back(scancode);
  return presses;
}

TEST(KeyPresses, EveryPressOnceInOrderButRepeatsTheHotkeysOwnPressAndPressesPastAFullQueue) {
  char held[KEY_MAX] = {};
  forget_key_presses(held);
  on_key_event(KEY_LSHIFT);
  on_key_event(KEY_RSHIFT);  // both Shifts at once are two presses
  on_key_event(KEY_LSHIFT | released);
  on_key_event(KEY_RSHIFT | released);
  tap(KEY_LSHIFT);
  EXPECT_EQ(take_all(), (std::vector<int>{KEY_LSHIFT, KEY_RSHIFT, KEY_LSHIFT}));
  // The hotkey's press reaches the hook after the queue was cleared, 1 still held; its next counts.
  tap(KEY_C);
  held[KEY_1] = 1;
  forget_key_presses(held);
  on_key_event(KEY_1);
  tap(KEY_B);
  on_key_event(KEY_1 | released);
  on_key_event(KEY_1);
  on_key_event(KEY_1 | released);
  EXPECT_EQ(take_all(), (std::vector<int>{KEY_B, KEY_1}));
  held[KEY_1] = 0;
  forget_key_presses(held);
  std::vector<int> typed(70);
  for (std::size_t i = 0; i < typed.size(); ++i) typed[i] = KEY_A + static_cast<int>(i % 26);
  for (const int scancode : typed) tap(scancode);
  typed.resize(64);  // the rest found the queue full
  EXPECT_EQ(take_all(), typed);
  tap(KEY_Z);
  EXPECT_EQ(take_all(), std::vector<int>{KEY_Z});
}

std::vector<int> started;

TEST(HotkeyStep, MainKeyboardDigitsStartOncePerPressInPlayerOrder) {
  volatile char keys[KEY_MAX] = {};
  char held[2] = {};
  const auto step = [&] {
    hotkey_step(keys, held[0], held[1], [](int player) { started.push_back(player); });
  };
  keys[KEY_1_PAD] = keys[KEY_2_PAD] = 1;
  step();
  EXPECT_EQ(started, std::vector<int>{});
  keys[KEY_2] = keys[KEY_1] = 1;
  step();
  step();
  EXPECT_EQ(started, (std::vector<int>{0, 1}));
  keys[KEY_1] = 0;
  step();
  keys[KEY_1] = 1;
  step();
  EXPECT_EQ(started, (std::vector<int>{0, 1, 0}));
}

// Whether a "= NAME" cell has been drawn on row i of the memory screen.
bool name_drawn(int row) {
  for (int x = 220; x < 240; ++x) {
    for (int y = 10 + 10 * row; y < 18 + 10 * row; ++y)
      if (getpixel(screen, x, y) != 0) return true;
  }
  return false;
}

TEST(Capture, KeysHandedOverBeforeTheLastNameIsDrawn) {
  ASSERT_TRUE(library_started());
  set_color_depth(16);
  screen = create_bitmap(320, 240);
  taken_keys taken;
  std::thread typist([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (const int scancode : {KEY_UP, KEY_LSHIFT, KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F})
      tap(scancode);
  });
  EXPECT_TRUE(capture_player_keys(1, taken));
  std::vector<int> kept;
  for (const auto &code : taken.codes) kept.push_back(code);
  EXPECT_EQ(kept, (std::vector<int>{84, 103, 1, 2, 3, 4, 5}));
  EXPECT_EQ(taken.player, 1);
  EXPECT_TRUE(name_drawn(5));
  EXPECT_FALSE(name_drawn(6));
  finish_capture(taken);
  EXPECT_TRUE(name_drawn(6));
  EXPECT_EQ(take_key_press(), -1);  // F closed the list
  typist.join();
  destroy_bitmap(screen);
  screen = nullptr;
}

#ifndef _WIN32
// The library's exit puts back SIGTERM's default action: a program winding down must not take it.
TEST(StopRequests, WaitUnansweredOnceTheProgramWindsDown) {
  block_stop_requests();
  sigset_t blocked;
  sigprocmask(SIG_BLOCK, nullptr, &blocked);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) EXPECT_EQ(sigismember(&blocked, signal), 1);
  // And a game may live anywhere, under /tmp too.
  const auto here = std::filesystem::current_path();
  std::filesystem::current_path("/tmp");
  EXPECT_FALSE(in_temporary_folder());
  std::filesystem::current_path(here);
}
#else
// Windows has no signals; what it has of its own: a folder Explorer opens a zip into, or one
// under it, is no game's folder.
TEST(TemporaryFolder, TheUsersTemporaryFolderAndFoldersUnderItAreRefused) {
  const auto here = std::filesystem::current_path();
  const auto temporary = std::filesystem::temp_directory_path();
  std::filesystem::create_directories(temporary / "Temp1_brumo.zip");
  for (const auto &folder : {temporary, temporary / "Temp1_brumo.zip", here}) {
    std::filesystem::current_path(folder);
    EXPECT_EQ(in_temporary_folder(), folder != here) << folder;
  }
  std::filesystem::current_path(here);
}
#endif

}  // namespace
