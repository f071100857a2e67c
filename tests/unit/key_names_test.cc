// The key name table and the translation of the library's key numbers into the file's.
#include "bindings/key_names.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::string name_of_library_key(int library_scancode) {
  return key_name(file_scancode(library_scancode));
}

TEST(KeyNames, TableHasOneRowPerFileScancodeWithTheEdgeRows) {
  ASSERT_EQ(key_names.size(), 116U);
  EXPECT_STREQ(key_names[0], "(none)");
  EXPECT_STREQ(key_names[115], "MAX");
  for (const char *name : key_names) {
    ASSERT_NE(name, nullptr);
    EXPECT_STRNE(name, "");
  }
}

TEST(KeyNames, EachRangeStartsAndEndsOnItsLibraryConstant) {
  // Up to KANJI the library's constants are the file's numbers.
  const std::pair<int, const char *> rows[] = {
      {KEY_A, "A"},
      {KEY_Z, "Z"},
      {KEY_0, "0"},
      {KEY_5, "5"},
      {KEY_9, "9"},
      {KEY_0_PAD, "0_PAD"},
      {KEY_5_PAD, "5_PAD"},
      {KEY_9_PAD, "9_PAD"},
      {KEY_F1, "F1"},
      {KEY_F12, "F12"},
      {KEY_ESC, "ESC"},
      {KEY_TILDE, "TILDE"},
      {KEY_TAB, "TAB"},
      {KEY_OPENBRACE, "OPENBRACE"},
      {KEY_BACKSLASH2, "BACKSLASH2"},
      {KEY_SPACE, "SPACE"},
      {KEY_INSERT, "INSERT"},
      {KEY_PGDN, "PGDN"},
      {KEY_SLASH_PAD, "SLASH_PAD"},
      {KEY_ENTER_PAD, "ENTER_PAD"},
      {KEY_PRTSCR, "PRTSCR"},
      {KEY_PAUSE, "PAUSE"},
      {KEY_ABNT_C1, "ABNT_C1"},
      {KEY_KANJI, "KANJI"},
  };
  for (const auto &[scancode, name] : rows) {
    EXPECT_EQ(file_scancode(scancode), scancode) << name;
    EXPECT_STREQ(key_name(scancode), name) << scancode;
  }
}

TEST(KeyNames, SpanishWordsNameTheArrowsPunctuationAndKeypadOperators) {
  EXPECT_STREQ(key_name(KEY_LEFT), "IZQUIERDA");
  EXPECT_STREQ(key_name(KEY_RIGHT), "DERECHA");
  EXPECT_STREQ(key_name(KEY_UP), "ARRIBA");
  EXPECT_STREQ(key_name(KEY_DOWN), "ABAJO");
  EXPECT_STREQ(key_name(KEY_MINUS), "MENOS");
  EXPECT_STREQ(key_name(KEY_EQUALS), "IGUAL");
  EXPECT_STREQ(key_name(KEY_COMMA), "COMA");
  EXPECT_STREQ(key_name(KEY_STOP), "PUNTO");
  EXPECT_STREQ(key_name(KEY_ASTERISK), "ASTERISCO");
  EXPECT_STREQ(key_name(KEY_MINUS_PAD), "MENOS_PAD");
  EXPECT_STREQ(key_name(KEY_PLUS_PAD), "MAS_PAD");
  // The arrows' numbers are what the game reads.
  EXPECT_EQ(KEY_LEFT, 82);
  EXPECT_EQ(KEY_DOWN, 85);
}

TEST(KeyNames, NumbersNoKeyHasShowNone) {
  EXPECT_STREQ(key_name(-1), "(none)");
  EXPECT_STREQ(key_name(116), "(none)");
  EXPECT_STREQ(key_name(1 << 20), "(none)");
}

TEST(FileScancode, ModifiersMoveDownTwelveToTheFileNumbering) {
  EXPECT_EQ(file_scancode(KEY_LSHIFT), 103);
  EXPECT_EQ(file_scancode(KEY_RCONTROL), 106);
  EXPECT_EQ(file_scancode(KEY_CAPSLOCK), 114);
  EXPECT_EQ(name_of_library_key(KEY_LSHIFT), "LSHIFT");
  EXPECT_EQ(name_of_library_key(KEY_RSHIFT), "RSHIFT");
  EXPECT_EQ(name_of_library_key(KEY_LCONTROL), "LCONTROL");
  EXPECT_EQ(name_of_library_key(KEY_RCONTROL), "RCONTROL");
  EXPECT_EQ(name_of_library_key(KEY_ALT), "ALT");
  EXPECT_EQ(name_of_library_key(KEY_ALTGR), "ALTGR");
  EXPECT_EQ(name_of_library_key(KEY_LWIN), "LWIN");
  EXPECT_EQ(name_of_library_key(KEY_RWIN), "RWIN");
  EXPECT_EQ(name_of_library_key(KEY_MENU), "MENU");
  EXPECT_EQ(name_of_library_key(KEY_SCRLOCK), "SCRLOCK");
  EXPECT_EQ(name_of_library_key(KEY_NUMLOCK), "NUMLOCK");
  EXPECT_EQ(name_of_library_key(KEY_CAPSLOCK), "CAPSLOCK");
}

TEST(FileScancode, KeysTheFileCannotNumberHaveNoScancode) {
  for (int library_key = KEY_EQUALS_PAD; library_key <= KEY_UNKNOWN8; ++library_key)
    EXPECT_EQ(file_scancode(library_key), no_file_scancode) << library_key;
  EXPECT_EQ(file_scancode(KEY_BACKQUOTE), no_file_scancode);
  EXPECT_EQ(file_scancode(KEY_SEMICOLON), no_file_scancode);
  EXPECT_EQ(file_scancode(KEY_COMMAND), no_file_scancode);
  EXPECT_EQ(file_scancode(KEY_MAX), no_file_scancode);
  EXPECT_EQ(file_scancode(-1), no_file_scancode);
  EXPECT_EQ(file_scancode(255), no_file_scancode);
}

TEST(FileScancode, NoScancodeStaysZero) {
  EXPECT_EQ(file_scancode(0), 0);
  EXPECT_STREQ(key_name(file_scancode(0)), "(none)");
}

}  // namespace
