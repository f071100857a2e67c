// The byte check and the file's reading: the file system first, then the bytes.
#include "storage/byte_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

file_verdict system_problem(file_problem problem, int error) {
  return {problem, 0, 0, error};
}

file_verdict not_regular(mode_t mode) {
  return {file_not_regular, 0, static_cast<int>(mode & S_IFMT)};
}

}  // namespace

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end;
    if (at == text.size()) break;
    const char first = text[at++];
    if (at < text.size() && (text[at] == '\r' || text[at] == '\n') && text[at] != first) ++at;
  }
  return lines;
}

file_verdict check_bytes(std::string_view bytes) {
  if (bytes.size() > binding_file_size_cap) return {file_too_large};
  if (bytes.substr(0, byte_order_mark.size()) == byte_order_mark)
    return {file_has_byte_order_mark, 1};
  int number = 0;
  for (const std::string_view line : lines_of(bytes)) {
    ++number;
    if (line.find('\0') != std::string_view::npos) return {file_has_nul_byte, number};
    if (utf8::find_invalid(line.begin(), line.end()) != line.end()) return {file_not_utf8, number};
    if (line.size() > long_line_bytes &&
        std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; }))
      return {file_long_line_not_ascii, number};
  }
  return {};
}

file_verdict read_binding_file(const char *path, std::string &bytes) {
  bytes.clear();
  struct stat status {};
  if (stat(path, &status) != 0) {
    if (errno != ENOENT) return system_problem(file_unreadable, errno);
    struct stat link {};
    if (lstat(path, &link) == 0) return {file_dangling_link};
    // The library creates the file when it first saves it.
    if (access(".", W_OK | X_OK) != 0) return system_problem(directory_not_writable, errno);
    return {};
  }
  if (!S_ISREG(status.st_mode)) return not_regular(status.st_mode);
  if (static_cast<std::size_t>(status.st_size) > binding_file_size_cap) return {file_too_large};
  if (access(path, W_OK) != 0) return system_problem(file_not_writable, errno);

  // O_NONBLOCK: should the file be swapped for a FIFO since the stat, opening still returns.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return system_problem(file_unreadable, errno);
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    close(fd);
    return not_regular(opened.st_mode);
  }
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      return system_problem(file_unreadable, error);
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
    // Past the cap is enough to refuse it, should the file still be growing.
    if (bytes.size() > binding_file_size_cap) break;
  }
  close(fd);
  return check_bytes(bytes);
}
