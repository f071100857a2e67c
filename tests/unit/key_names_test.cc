// The key name table and the translation of the library's key numbers into the file's: the
// generated ranges by loop, one row of each other range, and the edges on both sides.
#include "bindings/key_names.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KeyNames, GeneratedRangesFollowTheirLibraryConstants) {
  for (int i = 0; i < 26; ++i)
    EXPECT_EQ(key_name(file_scancode(KEY_A + i)), std::string(1, static_cast<char>('A' + i)));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(key_name(file_scancode(KEY_0 + i)), std::to_string(i));
    EXPECT_EQ(key_name(file_scancode(KEY_0_PAD + i)), std::to_string(i) + "_PAD");
  }
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(key_name(file_scancode(KEY_F1 + i)), "F" + std::to_string(i + 1));
}

TEST(KeyNames, OneRowOfEachOtherRangeAndTheSpanishWords) {
  const std::pair<int, const char *> rows[] = {
      {KEY_ESC, "ESC"},          {KEY_BACKSLASH2, "BACKSLASH2"},
      {KEY_SPACE, "SPACE"},      {KEY_PGDN, "PGDN"},
      {KEY_LEFT, "IZQUIERDA"},   {KEY_RIGHT, "DERECHA"},
      {KEY_UP, "ARRIBA"},        {KEY_DOWN, "ABAJO"},
      {KEY_EQUALS, "IGUAL"},     {KEY_ASTERISK, "ASTERISCO"},
      {KEY_PLUS_PAD, "MAS_PAD"}, {KEY_PAUSE, "PAUSE"},
      {KEY_KANJI, "KANJI"},
  };
  for (const auto &[scancode, name] : rows) {
    EXPECT_EQ(file_scancode(scancode), scancode) << name;
    EXPECT_STREQ(key_name(scancode), name) << scancode;
  }
  // The game reads the arrows by these numbers.
  EXPECT_EQ(KEY_LEFT, 82);
  EXPECT_EQ(KEY_DOWN, 85);
}

TEST(KeyNames, EdgesAndNumbersNoKeyHas) {
  ASSERT_EQ(key_names.size(), 116U);
  for (const char *name : key_names) ASSERT_NE(name, nullptr);
  EXPECT_STREQ(key_name(0), "(none)");
  EXPECT_STREQ(key_name(115), "MAX");
  EXPECT_STREQ(key_name(-1), "(none)");
  EXPECT_STREQ(key_name(116), "(none)");
}

TEST(FileScancode, ModifiersMoveDownTwelveAndTheEdgesHaveNoNumber) {
  EXPECT_EQ(file_scancode(KEY_LSHIFT), 103);
  EXPECT_EQ(file_scancode(KEY_CAPSLOCK), 114);
  EXPECT_STREQ(key_name(file_scancode(KEY_LSHIFT)), "LSHIFT");
  EXPECT_STREQ(key_name(file_scancode(KEY_RCONTROL)), "RCONTROL");
  EXPECT_STREQ(key_name(file_scancode(KEY_ALTGR)), "ALTGR");
  EXPECT_STREQ(key_name(file_scancode(KEY_CAPSLOCK)), "CAPSLOCK");
  // 0 is no key: an action bound to it would have none in the game.
  for (const int library_key : {0, -1, int{KEY_EQUALS_PAD}, int{KEY_UNKNOWN8}, int{KEY_MAX}, 255})
    EXPECT_EQ(file_scancode(library_key), no_file_scancode) << library_key;
}

}  // namespace
