// Players bind their seven keys with real key presses: the screen after each key, and the file.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "screen_test.h"

namespace {

class CaptureTest : public ScreenTest {
 protected:
  void close_list_and_quit() {
    x_->press("space");
    ASSERT_TRUE(shows(menu_screen()));
    x_->press("Escape");
    ASSERT_EQ(exit_status(), 0);
  }
};

const std::vector<key_press> arrows_and_letters = {
    {"Up", "ARRIBA"}, {"Down", "ABAJO"}, {"Left", "IZQUIERDA"}, {"Right", "DERECHA"}, {"a", "A"},
    {"s", "S"},       {"d", "D"},
};

const std::string arrows_and_letters_section =
    "arriba = 84\nabajo = 85\nizquierda = 82\nderecha = 83\ntrompada = 1\nbloqueo = 19\n"
    "patada = 4\n";

TEST_F(CaptureTest, PlayerOneBindsArrowsAndLettersSeesEachNameAndFindsThemInTheFile) {
  start_program();
  // The names on the "izquierda" and "trompada" rows cover the end of their prompts.
  capture("1", arrows_and_letters);
  save_screenshot("capture.png");
  close_list_and_quit();
  EXPECT_EQ(read_binding_file(), "[jugador0]\n" + arrows_and_letters_section);
}

TEST_F(CaptureTest, PlayerTwoCapturedTwiceKeepsTheSecondKeys) {
  start_program();
  capture("2", arrows_and_letters);
  x_->press("space");
  ASSERT_TRUE(shows(menu_screen()));
  capture("2", {{"q", "Q"},
                {"w", "W"},
                {"e", "E"},
                {"r", "R"},
                {"KP_5", "5_PAD"},
                {"5", "5"},
                {"Escape", "ESC"}});
  close_list_and_quit();
  EXPECT_EQ(read_binding_file(),
            "[jugador1]\narriba = 17\nabajo = 23\nizquierda = 5\nderecha = 18\n"
            "trompada = 42\nbloqueo = 32\npatada = 59\n");
}

TEST_F(CaptureTest, OtherSectionsKeysAndCommentsOfTheFileAreKept) {
  write_binding_file(
      "# Brumo vs Tuk\n[video]\nancho = 640\n\n[jugador0]\n# mando\narriba = 1\nturbo = 2\n");
  start_program();
  capture("1", arrows_and_letters);
  close_list_and_quit();
  const std::string file = read_binding_file();
  for (const char *kept : {"# Brumo vs Tuk", "[video]", "ancho = 640", "# mando", "turbo = 2"})
    EXPECT_NE(file.find(kept), std::string::npos) << kept << " lost from:\n" << file;
  EXPECT_NE(file.find("arriba = 84"), std::string::npos) << file;
  EXPECT_EQ(file.find("arriba = 1\n"), std::string::npos) << file;
}

TEST_F(CaptureTest, HotkeyHeldOverASecondStartsOneCaptureAndBindsNothing) {
  start_program();
  x_->key_down("1");
  ASSERT_TRUE(shows(capture_screen({})));
  std::this_thread::sleep_for(1500ms);
  x_->key_up("1");
  ASSERT_TRUE(shows(capture_screen({}), 500ms)) << "the held hotkey bound an action";
  std::vector<std::string> names;
  for (const key_press &key : arrows_and_letters) {
    x_->press(key.x_key);
    names.push_back(key.name);
    ASSERT_TRUE(shows(capture_screen(names))) << "after " << key.x_key;
  }
  close_list_and_quit();
  EXPECT_EQ(read_binding_file(), "[jugador0]\n" + arrows_and_letters_section);
}

TEST_F(CaptureTest, ShiftAndRightControlBindUnderTheirOwnNames) {
  start_program();
  capture("1", {{"Shift_L", "LSHIFT"},
                {"Control_R", "RCONTROL"},
                {"Alt_L", "ALT"},
                {"Shift_R", "RSHIFT"},
                {"a", "A"},
                {"Shift_L", "LSHIFT"},
                {"Control_L", "LCONTROL"}});
  close_list_and_quit();
  EXPECT_EQ(read_binding_file(),
            "[jugador0]\narriba = 103\nabajo = 106\nizquierda = 107\nderecha = 104\n"
            "trompada = 1\nbloqueo = 103\npatada = 105\n");
}

TEST_F(CaptureTest, FinishedCaptureSurvivesTheProcessBeingKilled) {
  start_program();
  capture("1", arrows_and_letters);
  program_->send_signal(SIGKILL);
  ASSERT_EQ(exit_status(), 128 + SIGKILL);
  EXPECT_EQ(read_binding_file(), "[jugador0]\n" + arrows_and_letters_section);
}

}  // namespace
