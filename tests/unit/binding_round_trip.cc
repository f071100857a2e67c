// The program's save path through the library's configuration code, and a reader that splits
// lines, names and values as the library's reader does, to compare the file before and after.
#include "tests/unit/binding_round_trip.h"

#include <allegro.h>
#include <utf8.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>  // mkdtemp
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace {

std::string scratch_file;

// A line as the library holds it: a name and its value, or no name and the whole line.
using config_line = std::pair<std::string, std::string>;

// The library's white space, which takes in some Unicode spaces.
const auto is_space = [](char32_t c) { return uisspace(static_cast<int>(c)) != 0; };

// Where the characters that hold run out, from at; text is valid UTF-8.
template <typename Predicate>
std::size_t skip(std::string_view text, std::size_t at, Predicate holds) {
  for (const char *next = text.data() + at; at < text.size() && holds(utf8::unchecked::next(next));)
    at = static_cast<std::size_t>(next - text.data());
  return at;
}

// The lines as the library reads them, blank ones left out as they only separate. A line ends at
// CR or LF (CRLF and LFCR are one break); its name runs from the first non-space to a space, '='
// or '#'; its value starts after the spaces and '=' that follow, and loses its trailing spaces.
std::vector<config_line> parse_file(std::string_view bytes) {
  std::vector<config_line> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
    const std::string_view text = bytes.substr(at, end - at);
    at = end + 1;
    if (at < bytes.size() && bytes[at] != bytes[end] && (bytes[at] == '\n' || bytes[at] == '\r'))
      ++at;
    const std::size_t start = skip(text, 0, is_space);
    const std::size_t name_end =
        skip(text, start, [](char32_t c) { return !is_space(c) && c != '=' && c != '#'; });
    const std::size_t value =
        skip(text, name_end, [](char32_t c) { return is_space(c) || c == '='; });
    std::size_t value_end = value;
    for (std::size_t i = value; i < text.size(); i = skip(text, i, is_space))
      value_end = i = skip(text, i, [](char32_t c) { return !is_space(c); });
    if (start == text.size()) continue;
    lines.emplace_back(text.substr(start, name_end - start),
                       name_end == start ? text : text.substr(value, value_end - value));
  }
  return lines;
}

// The line the library takes for a key of a section, as its find_config_string does: the first so
// named, case aside its way, in any part of the file the section's header starts; or lines.size().
std::size_t find_key(const std::vector<config_line> &lines, const std::string &header,
                     const std::string &name) {
  bool in_section = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string &line = lines[i].first;
    if (!line.empty() && line.front() == '[' && line.back() == ']')
      in_section = ustricmp(line.c_str(), header.c_str()) == 0;
    if (in_section && ustricmp(line.c_str(), name.c_str()) == 0) return i;
  }
  return lines.size();
}

// The lines after saving against those before: the seven keys carry the new values in the
// player's section, where they were or added to it (with the section, when there was none), and
// every other line is as it was, in order.
std::string compare(std::vector<config_line> expected, const std::vector<config_line> &got,
                    const std::string &header, const binding_values &values) {
  std::vector<bool> added(got.size(), false);
  const std::size_t new_header = find_key(got, header, header);
  if (find_key(expected, header, header) == expected.size() && new_header < got.size())
    added[new_header] = true;
  for (std::size_t i = 0; i < action_names.size(); ++i) {
    const std::size_t at = find_key(expected, header, action_names[i]);
    const std::size_t new_at = find_key(got, header, action_names[i]);
    if (at < expected.size())
      expected[at].second = std::to_string(values[i]);
    else if (new_at < got.size())
      added[new_at] = true;
    else
      return action_names[i] + (" was not added to " + header);
  }
  std::vector<config_line> rest;
  for (std::size_t i = 0; i < got.size(); ++i)
    if (!added[i]) rest.push_back(got[i]);
  const auto differ = std::mismatch(expected.begin(), expected.end(), rest.begin(), rest.end());
  if (differ.first == expected.end() && differ.second == rest.end()) return {};
  return "other lines differ from non-blank line " +
         std::to_string(differ.first - expected.begin() + 1) + " on";
}

}  // namespace

bool start_round_trips() {
  if (!scratch_file.empty()) return true;
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return false;
  // Not under a path with '#': the library's file layer reads "a#b" as object b of datafile a.
  std::string directory = "/tmp/brumo-round-trip-XXXXXX";
  if (mkdtemp(directory.data()) == nullptr) return false;
  scratch_file = directory + "/brumo.ini";
  // Registered after the library's own handler, so it runs first; the library has nothing left
  // to write by then.
  return std::atexit([] {
           std::error_code ignored;
           std::filesystem::remove_all(std::filesystem::path(scratch_file).parent_path(), ignored);
         }) == 0;
}

std::string round_trip(std::string_view bytes, int player, const binding_values &values) {
  std::ofstream(scratch_file, std::ios::binary) << bytes;
  set_config_file(scratch_file.c_str());
  char section[section_name_size];
  format_section_name(section, player);
  for (std::size_t i = 0; i < action_names.size(); ++i)
    set_config_int(section, action_names[i], values[i]);
  flush_config_file();
  std::ifstream in(scratch_file, std::ios::binary);
  const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::string problem = "the library wrote bytes that are not UTF-8";  // unfit to parse
  if (utf8::is_valid(written.begin(), written.end()))
    problem =
        compare(parse_file(bytes), parse_file(written), "[" + std::string(section) + "]", values);
  set_config_file(scratch_file.c_str());  // the file as the game reads it
  for (std::size_t i = 0; problem.empty() && i < action_names.size(); ++i)
    if (get_config_int(section, action_names[i], -1) != values[i])
      problem = std::string("the library reads back another ") + action_names[i];
  return problem.empty() ? problem : problem + "\nwritten: " + c_literal(written.substr(0, 2000));
}

std::string c_literal(std::string_view bytes) {
  std::string out = "\"";
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (code >= 0x20 && code < 0x7F && byte != '"' && byte != '\\')
      out += byte;
    else if (byte == '\n' || byte == '\r')
      out += byte == '\n' ? "\\n" : "\\r";
    else  // octal, which unlike \x never runs on into the next character
      out += {'\\', static_cast<char>('0' + (code >> 6)), static_cast<char>('0' + (code >> 3 & 7)),
              static_cast<char>('0' + (code & 7))};
  }
  return out + "\"";
}
