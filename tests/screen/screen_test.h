// The fixture of the on-screen tests: each test runs the program in its own empty directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "program_screens.h"
#include "screen_image.h"
#include "x_harness.h"

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program on the virtual display (or with no display at all) and, when there is
  // one, waits for its window and the menu on it.
  void start_program();
  void start_program_without_display();
  void start_program_only(bool unprivileged = false);  // no wait for the window

  // The program must refuse to start: no screen, status 1, one line on stderr that holds
  // reason, and the library's message box where it can show one.
  void expect_refusal(const std::string &reason);

  // Waits for the screen; on failure the images are kept in the test's directory.
  ::testing::AssertionResult shows(const std::vector<text_line> &lines, milliseconds timeout = 5s);
  // Presses the hotkey, then each key once its prompt is up, checking every screen on the way.
  void capture(const std::string &hotkey, const std::vector<key_press> &keys);

  std::optional<int> exit_status(milliseconds timeout = 5s) {
    return program_->wait_for_exit(timeout);
  }

  // For the README: saved only when BRUMO_SCREENSHOT_DIR names a directory.
  void save_screenshot(const std::string &name);

  std::string binding_file() const { return work_dir_ + "/brumo.ini"; }
  std::string read_binding_file() const;
  void write_binding_file(const std::string &text) const;
  bool binding_file_exists() const;

  std::string work_dir_;
  std::string test_dir_;
  std::unique_ptr<program_process> program_;
  std::unique_ptr<x_client> x_;
  int screens_checked_ = 0;
};
