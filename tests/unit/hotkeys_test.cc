// The hotkey step's decisions over a key state array, without a screen.
#include "bindings/hotkeys.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

std::vector<int> captures;
std::array<char, KEY_MAX> keys{};

void record_capture(int player) {
  captures.push_back(player);
}

// A capture during which the player presses 2 and is still holding it when it returns.
void capture_ending_on_key_2(int player) {
  captures.push_back(player);
  keys[KEY_2] = 1;
}

class HotkeyStep : public ::testing::Test {
 protected:
  void SetUp() override {
    captures.clear();
    keys.fill(0);
  }
  void step(capture_proc capture = record_capture) {
    hotkey_step(keys.data(), key1_held, key2_held, capture);
  }
  char key1_held = 0;
  char key2_held = 0;
};

TEST_F(HotkeyStep, HeldKeyStartsOneCaptureUntilSeenUp) {
  keys[KEY_1] = 1;
  for (int pass = 0; pass < 100; ++pass) step();
  EXPECT_EQ(captures, std::vector<int>{0});
  keys[KEY_1] = 0;
  step();
  keys[KEY_1] = 1;
  step();
  EXPECT_EQ(captures, (std::vector<int>{0, 0}));
}

TEST_F(HotkeyStep, BothKeysInOnePassRunPlayerZeroThenPlayerOne) {
  keys[KEY_1] = 1;
  keys[KEY_2] = 1;
  step();
  step();
  EXPECT_EQ(captures, (std::vector<int>{0, 1}));
}

TEST_F(HotkeyStep, TwoPressedDuringPlayerZerosCaptureStartsPlayerOneAtOnce) {
  keys[KEY_1] = 1;
  step(capture_ending_on_key_2);
  EXPECT_EQ(captures, (std::vector<int>{0, 1}));
}

TEST_F(HotkeyStep, KeypadDigitsAndOtherKeysAreNotHotkeys) {
  keys[KEY_1_PAD] = 1;
  keys[KEY_2_PAD] = 1;
  keys[KEY_ESC] = 1;
  keys[KEY_3] = 1;
  step();
  EXPECT_TRUE(captures.empty());
}

}  // namespace
