// Fixture of the on-screen tests: a fresh directory per test, kept only when the test fails.
#include "screen_test.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

void ScreenTest::capture(const std::string &hotkey, const std::vector<key_press> &keys) {
  x_->press(hotkey);
  std::vector<std::string> names;
  ASSERT_TRUE(shows(capture_screen(names)));
  for (const key_press &key : keys) {
    x_->press(key.x_key);
    names.push_back(key.name);
    ASSERT_TRUE(shows(capture_screen(names))) << "after " << key.x_key;
  }
}

void ScreenTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "brumo-screen-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  test_dir_ = pattern;
  work_dir_ = test_dir_ + "/work";
  ASSERT_EQ(mkdir(work_dir_.c_str(), 0755), 0);
}

void ScreenTest::TearDown() {
  x_.reset();
  program_.reset();
  if (HasFailure()) {
    std::cerr << "kept for a look: " << test_dir_ << '\n';
  } else {
    std::error_code ignored;
    std::filesystem::permissions(work_dir_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(test_dir_, ignored);
  }
}

void ScreenTest::start_program_only(bool unprivileged) {
  program_ =
      std::make_unique<program_process>(work_dir_, test_dir_, virtual_display_name(), unprivileged);
}

void ScreenTest::expect_refusal(const std::string &reason) {
  x_ = std::make_unique<x_client>(virtual_display_name());
  // Where xmessage is installed the library shows the line in a box and waits for a click;
  // without it the program simply ends.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  bool box = false;
  while (program_->running() && !box && std::chrono::steady_clock::now() < deadline)
    box = x_->find_message_box(10ms);
  if (box) {
    EXPECT_FALSE(x_->program_screen_shown()) << "the screen opened before the refusal";
    EXPECT_TRUE(x_->close_message_box());
  }
  EXPECT_EQ(exit_status(), 1);
  const std::string message = program_->error_output();
  EXPECT_EQ(message.rfind("brumo-setup: ", 0), 0U) << message;
  EXPECT_NE(message.find(reason), std::string::npos) << message;
  EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
}

void ScreenTest::start_program() {
  start_program_only();
  x_ = std::make_unique<x_client>(virtual_display_name());
  ASSERT_TRUE(x_->find_program_window(10s)) << "no window; stderr: " << program_->error_output();
  ASSERT_TRUE(shows(menu_screen()));
}

void ScreenTest::start_program_without_display() {
  program_ = std::make_unique<program_process>(work_dir_, test_dir_, "");
}

::testing::AssertionResult ScreenTest::shows(const std::vector<text_line> &lines,
                                             milliseconds timeout) {
  const std::string prefix = test_dir_ + "/screen" + std::to_string(++screens_checked_);
  if (x_->wait_for_screen(expected_screen(lines), timeout, prefix))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "screen " << screens_checked_ << " never matched; see "
                                       << prefix << "-expected.png and -actual.png";
}

void ScreenTest::save_screenshot(const std::string &name) {
  const char *dir = std::getenv("BRUMO_SCREENSHOT_DIR");
  if (dir != nullptr && dir[0] != '\0') save_png(x_->read_screen(), std::string(dir) + "/" + name);
}

std::string ScreenTest::read_binding_file() const {
  std::ifstream in(binding_file(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void ScreenTest::write_binding_file(const std::string &text) const {
  std::ofstream(binding_file(), std::ios::binary) << text;
}

bool ScreenTest::binding_file_exists() const {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(binding_file(), ignored));
}
