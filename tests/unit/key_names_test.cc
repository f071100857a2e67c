// The key name table and the translation of the library's key numbers into the file's: the
// generated ranges by loop, one row of each other range, and the edges on both sides.
#include "bindings/key_names.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::string name_of(int library_key) {
  return key_name(file_scancode(library_key));
}

TEST(KeyNames, RangesRowsAndEdges) {
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

}  // namespace
