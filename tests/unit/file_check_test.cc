// The binding file's check on its own: what it accepts, where it points, what it says.
#include "bindings/file_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

file_verdict check_file(const char *path) {
  std::string bytes;
  return read_binding_file(path, bytes);
}

TEST(CheckBindingText, AcceptsUtf8TextInAnyLineEndingAndEmptyFiles) {
  const std::string accepted[] = {
      "",
      "[jugador0]\narriba = 84\n",
      "# sin salto final\r\n[jugador1]\r\nabajo=85",
      "[a]\rx = 1\r",
      "# Configuraci\xC3\xB3n \xE2\x80\x94 \xF0\x9F\x90\xBB \xF4\x8F\xBF\xBF\n",  // up to U+10FFFF
      std::string(4000, 'x') + " = " + std::string(4000, 'y') + "\n",
      std::string(binding_file_size_cap, '\n'),
  };
  for (const std::string &text : accepted)
    EXPECT_EQ(check_binding_text(text).problem, file_ok) << text.substr(0, 60);
}

TEST(CheckBindingText, PointsAtTheLineOfTheFirstBadByteWhateverTheLineEndings) {
  EXPECT_EQ(check_binding_text("a\nb\nc = \xFF").line, 3);
  EXPECT_EQ(check_binding_text("a\r\nb\r\n\xFF").line, 3);
  EXPECT_EQ(check_binding_text("a\rb\r\r\xFF").line, 4);
  EXPECT_EQ(check_binding_text("\xFF\n\n").line, 1);
  // A bad byte further on does not hide an earlier NUL.
  EXPECT_EQ(check_binding_text(std::string("a\n\0\n\xFF", 5)).problem, file_has_nul_byte);
}

TEST(CheckBindingText, ByteOrderMarkOnlyCountsAtTheStart) {
  EXPECT_EQ(check_binding_text("\xEF\xBB\xBF").problem, file_has_byte_order_mark);
  EXPECT_EQ(check_binding_text("x = \xEF\xBB\xBF\n").problem, file_ok);
}

class CheckBindingFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "brumo-check-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    path_ = dir_ + "/brumo.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
  std::string path_;
};

TEST_F(CheckBindingFile, MissingFileInAWritableDirectoryIsFine) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  EXPECT_EQ(check_file("brumo.ini").problem, file_ok);
  std::filesystem::current_path(before);
  EXPECT_FALSE(std::filesystem::exists(path_)) << "the check must not create the file";
}

TEST_F(CheckBindingFile, ReadsTheBytesOfARegularFile) {
  std::ofstream(path_) << "[a]\nx = 1\ny = \xC3\n";
  const file_verdict verdict = check_file(path_.c_str());
  EXPECT_EQ(verdict.problem, file_not_utf8);
  EXPECT_EQ(verdict.line, 3);
}

TEST_F(CheckBindingFile, NamesWhatStandsInTheFilesPlace) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0644), 0);
  file_verdict verdict = check_file(path_.c_str());  // must not block
  EXPECT_EQ(verdict.problem, file_not_regular);
  EXPECT_NE(describe_verdict(verdict, "brumo.ini").find("FIFO"), std::string::npos);
  std::filesystem::remove(path_);
  std::filesystem::create_directory(path_);
  verdict = check_file(path_.c_str());
  EXPECT_EQ(verdict.problem, file_not_regular);
  EXPECT_NE(describe_verdict(verdict, "brumo.ini").find("directorio"), std::string::npos);
}

TEST_F(CheckBindingFile, FileOverTheCapIsRefusedBeforeBeingRead) {
  std::ofstream(path_) << std::string(binding_file_size_cap + 1, '#');
  EXPECT_EQ(check_file(path_.c_str()).problem, file_too_large);
}

TEST_F(CheckBindingFile, ReadOnlyFileIsRefusedUnlessTheUserMayWriteAnyway) {
  std::ofstream(path_) << "[a]\n";
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  // root writes through permissions: for root the file is writable, and the check agrees.
  const file_problem expected = geteuid() == 0 ? file_ok : file_not_writable;
  EXPECT_EQ(check_file(path_.c_str()).problem, expected);
}

TEST(DescribeVerdict, NamesTheFileTheLineAndTheReasonOnOneLine) {
  file_verdict verdict;
  verdict.problem = file_not_utf8;
  verdict.line = 7;
  const std::string message = describe_verdict(verdict, "brumo.ini");
  EXPECT_EQ(message.rfind("\"brumo.ini\", linea 7: no es texto UTF-8 valido", 0), 0U) << message;
  EXPECT_EQ(message.find('\n'), std::string::npos);
  verdict = {};
  verdict.problem = file_not_writable;
  verdict.system_error = EROFS;
  EXPECT_NE(describe_verdict(verdict, "brumo.ini").find("solo lectura"), std::string::npos);
}

}  // namespace
