// The program starts on its menu and ends cleanly, from the keyboard or the window.
#include <gtest/gtest.h>

#include "screen_test.h"

namespace {

TEST_F(ScreenTest, MenuShowsTitleHeadingAndChoicesInItsTitledWindow) {
  start_program();
  EXPECT_EQ(x_->window_title(), "Brumo vs Tuk");
  save_screenshot("menu.png");
}

TEST_F(ScreenTest, EscEndsWithStatusZeroAndWritesNoFileWhenNothingWasSet) {
  start_program();
  x_->press("Escape");
  EXPECT_EQ(exit_status(), 0);
  EXPECT_FALSE(binding_file_exists());
}

TEST_F(ScreenTest, CloseButtonEndsWithStatusZero) {
  start_program();
  x_->send_close_request();
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(ScreenTest, RunWithNothingSetLeavesTheFileByteForByte) {
  // No final newline, CRLF, spacing the library would not write: any rewrite would show.
  const std::string before = "# teclas\r\n[jugador0]\r\narriba=84\r\n\r\n[otra]\r\n x  =  1";
  write_binding_file(before);
  start_program();
  x_->press("Escape");
  ASSERT_EQ(exit_status(), 0);
  EXPECT_EQ(read_binding_file(), before);
}

TEST_F(ScreenTest, WithoutDisplayItSaysSoEndsWithStatusOneAndWritesNothing) {
  start_program_without_display();
  EXPECT_EQ(exit_status(), 1);
  const std::string message = program_->error_output();
  EXPECT_EQ(message.rfind("brumo-setup: ", 0), 0U) << message;
  EXPECT_NE(message.find("DISPLAY"), std::string::npos) << message;
  EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
  EXPECT_FALSE(binding_file_exists());
}

}  // namespace
