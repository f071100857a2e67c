// The bytes the library's loader and writer handle safely, checked before any trial save.
#include "storage/trial_save.h"

#include <allegro.h>
#include <utf8.h>

#include <algorithm>

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
  int number = 0;
  for (const std::string_view line : lines_of(bytes)) {
    ++number;
    if (line.find('\0') != std::string_view::npos) return {file_has_nul_byte, number};
    if (utf8::find_invalid(line.begin(), line.end()) != line.end()) return {file_not_utf8, number};
    // A mark after the spaces the library drops (Unicode's too) before a name begins the save.
    const auto *at = line.begin();
    while (number == 1 && at != line.end() &&
           uisspace(static_cast<int>(utf8::unchecked::peek_next(at))))
      utf8::unchecked::next(at);
    if (number == 1 && line.end() - at >= 3 && std::string_view(at, 3) == "\xEF\xBB\xBF")
      return {file_has_byte_order_mark, 1};
    if (line.size() > long_line_bytes &&
        std::any_of(line.begin(), line.end(), [](char c) { return (c & 0x80) != 0; }))
      return {file_long_line_not_ascii, number};
  }
  return {};
}
