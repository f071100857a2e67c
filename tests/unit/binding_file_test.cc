// The binding file's names, as the game reads them.
#include "bindings/binding_file.h"

#include <gtest/gtest.h>

namespace {

TEST(BindingFile, SectionsAreNumberedFromZero) {
  char section[section_name_size];
  format_section_name(section, 0);
  EXPECT_STREQ(section, "jugador0");
  format_section_name(section, 1);
  EXPECT_STREQ(section, "jugador1");
}

TEST(BindingFile, ActionsInCaptureOrder) {
  EXPECT_STREQ(binding_file_name, "brumo.ini");
  ASSERT_EQ(action_names.size(), 7U);
  EXPECT_STREQ(action_names.front(), "arriba");
  EXPECT_STREQ(action_names[4], "trompada");
  EXPECT_STREQ(action_names.back(), "patada");
}

}  // namespace
