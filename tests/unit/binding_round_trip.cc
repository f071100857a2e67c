// The program's save path through the library's configuration code, and a reader that splits
// lines, names and values as the library's reader does, to compare the file before and after.
#include "tests/unit/binding_round_trip.h"

#include <allegro.h>
#include <utf8.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>  // mkdtemp
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// A line as the library holds it: a key and its value, or, with no name, the whole line
// (comments, blank lines, and anything else it does not read as a key).
struct config_line {
  std::string name;
  std::string data;
};

constexpr std::size_t not_found = std::string::npos;

// Only for valid UTF-8: everything parsed here was checked first.
char32_t next_code_point(std::string_view text, std::size_t &at) {
  const char *position = text.data() + at;
  const char32_t c = utf8::unchecked::next(position);
  at = static_cast<std::size_t>(position - text.data());
  return c;
}

template <typename Predicate>
std::size_t skip_while(std::string_view text, std::size_t at, Predicate holds) {
  while (at < text.size()) {
    std::size_t next = at;
    if (!holds(next_code_point(text, next))) break;
    at = next;
  }
  return at;
}

// The library's own white space, which takes in some Unicode spaces.
bool is_space(char32_t c) {
  return uisspace(static_cast<int>(c)) != 0;
}

// As the library reads a line: the name runs from the first non-space to a space, '=' or '#';
// the value starts after the spaces and '=' signs that follow, and loses its trailing spaces.
config_line parse_line(std::string_view text) {
  const std::size_t name_start = skip_while(text, 0, is_space);
  const std::size_t name_end =
      skip_while(text, name_start, [](char32_t c) { return !is_space(c) && c != '=' && c != '#'; });
  if (name_end == name_start) return {"", std::string(text)};
  const std::size_t value_start =
      skip_while(text, name_end, [](char32_t c) { return is_space(c) || c == '='; });
  std::size_t value_end = value_start;
  for (std::size_t at = value_start; at < text.size();) {
    if (!is_space(next_code_point(text, at))) value_end = at;
  }
  return {std::string(text.substr(name_start, name_end - name_start)),
          std::string(text.substr(value_start, value_end - value_start))};
}

// Lines end at CR or LF; the library takes CRLF, and LFCR too, as one break.
std::vector<config_line> parse_file(std::string_view bytes) {
  std::vector<config_line> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
    lines.push_back(parse_line(bytes.substr(at, end - at)));
    at = end;
    if (at == bytes.size()) break;
    const char first = bytes[at++];
    if (at < bytes.size() && (bytes[at] == '\r' || bytes[at] == '\n') && bytes[at] != first) ++at;
  }
  return lines;
}

// Blank lines only separate; what the file says is in the others.
std::vector<config_line> without_blank_lines(std::vector<config_line> lines) {
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const config_line &line) {
                               return line.name.empty() &&
                                      skip_while(line.data, 0, is_space) == line.data.size();
                             }),
              lines.end());
  return lines;
}

// Names compare as the library compares them, ignoring case its way.
bool same_name(const std::string &a, const std::string &b) {
  return ustricmp(a.c_str(), b.c_str()) == 0;
}

bool is_header(const std::string &name) {
  return !name.empty() && name.front() == '[' && name.back() == ']';
}

// The line the library finds for a key, as its find_config_string does: the first one named so
// in any part of the file headed by the section ("" for the keys before the first section).
std::size_t find_key(const std::vector<config_line> &lines, const std::string &section,
                     const std::string &name) {
  bool in_section = section.empty();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string &line_name = lines[i].name;
    if (line_name.empty()) continue;
    if (is_header(line_name)) in_section = same_name(section, line_name);
    if ((in_section || name.front() == '[') && same_name(line_name, name)) return i;
  }
  return not_found;
}

std::string describe(const config_line &line) {
  if (line.name.empty()) return c_literal(line.data);
  return c_literal(line.name) + " = " + c_literal(line.data);
}

// Every key of the file, read through the library, against what the lines say it holds.
std::string library_disagrees(const std::vector<config_line> &lines, const char *when) {
  std::string section;
  for (const config_line &line : lines) {
    if (line.name.empty()) continue;
    if (is_header(line.name)) {
      section = line.name;
      continue;
    }
    // The library cuts a section name at 255 bytes, and keeps "[#...]" sections apart.
    if (section.size() > 200 || section.rfind("[#", 0) == 0) continue;
    const std::size_t at = find_key(lines, section, line.name);
    // An empty value reads as no value.
    const std::string expected = at == not_found ? std::string() : lines[at].data;
    const char *got = get_config_string(section.c_str(), line.name.c_str(), nullptr);
    if ((got == nullptr ? std::string() : std::string(got)) != expected) {
      return std::string(when) + ", the library reads " + c_literal(section) + " " +
             c_literal(line.name) + " as " + (got == nullptr ? "nothing" : c_literal(got)) +
             " where the file holds " + c_literal(expected);
    }
  }
  return {};
}

// The lines after saving against those before: the seven keys carry the new values in the
// player's section, where they were or added, the section is added when there was none, and
// every other line is as it was, in order.
std::string compare(std::vector<config_line> expected, const std::vector<config_line> &got,
                    const std::string &header, const binding_values &values) {
  std::vector<bool> added(got.size(), false);
  const auto is_player_header = [&header](const config_line &line) {
    return is_header(line.name) && same_name(line.name, header);
  };
  if (std::none_of(expected.begin(), expected.end(), is_player_header)) {
    const auto created = std::find_if(got.begin(), got.end(), is_player_header);
    if (created == got.end()) return "no " + c_literal(header) + " after saving";
    if (created->name != header) return "the new section was named " + describe(*created);
    added[static_cast<std::size_t>(created - got.begin())] = true;
  }
  for (std::size_t i = 0; i < action_names.size(); ++i) {
    const std::string name = action_names[i];
    const std::string value = std::to_string(values[i]);
    const std::size_t at = find_key(expected, header, name);
    if (at != not_found) {
      expected[at].data = value;
      continue;
    }
    const std::size_t new_at = find_key(got, header, name);
    if (new_at == not_found) return c_literal(name) + " was saved outside " + c_literal(header);
    if (got[new_at].name != name || got[new_at].data != value)
      return c_literal(name) + " was saved in " + c_literal(header) + " as " +
             describe(got[new_at]);
    added[new_at] = true;
  }
  std::size_t next = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (added[i]) continue;
    if (next == expected.size()) return "line " + describe(got[i]) + " appeared";
    if (got[i].name != expected[next].name || got[i].data != expected[next].data)
      return "line " + describe(expected[next]) + " became " + describe(got[i]);
    ++next;
  }
  if (next != expected.size()) return "line " + describe(expected[next]) + " was lost";
  return {};
}

bool write_file(const std::string &path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

bool start_library_without_system() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  return started;
}

std::string make_scratch_directory() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "brumo-round-trip-XXXXXX").string();
  if (pattern.find('#') != std::string::npos) pattern = "/tmp/brumo-round-trip-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

std::string round_trip(const std::string &path, std::string_view bytes, int player,
                       const binding_values &values) {
  if (!write_file(path, bytes)) return "cannot write " + path;
  set_config_file(path.c_str());
  const std::vector<config_line> before = parse_file(bytes);
  std::string problem = library_disagrees(before, "before saving");
  if (!problem.empty()) return problem;

  char section[section_name_size];
  format_section_name(section, player);
  for (std::size_t i = 0; i < action_names.size(); ++i)
    set_config_int(section, action_names[i], values[i]);
  flush_config_file();

  const std::string written = read_file(path);
  if (!utf8::is_valid(written.begin(), written.end()))
    return "the library wrote bytes that are not UTF-8: " + c_literal(written);
  const std::vector<config_line> after = parse_file(written);
  problem = compare(without_blank_lines(before), without_blank_lines(after),
                    std::string("[") + section + "]", values);
  if (problem.empty()) {
    set_config_file(path.c_str());  // what the game will read
    problem = library_disagrees(after, "after saving");
  }
  for (std::size_t i = 0; problem.empty() && i < action_names.size(); ++i) {
    if (get_config_int(section, action_names[i], -1) != values[i])
      problem = std::string("the library reads ") + action_names[i] + " of " + section + " as " +
                std::to_string(get_config_int(section, action_names[i], -1));
  }
  if (!problem.empty()) problem += "\nwritten: " + c_literal(written.substr(0, 2000));
  return problem;
}

std::string c_literal(std::string_view bytes) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out = "\"";
  bool after_hex_escape = false;
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    // "\x41" then "b" would read back as one escape; a break in the literal keeps them apart.
    if (after_hex_escape && std::isxdigit(code) != 0) out += "\"\"";
    after_hex_escape = false;
    if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += byte;
    } else if (code >= 0x20 && code < 0x7F) {
      out += byte;
    } else {
      out += "\\x";
      out += hex[code >> 4];
      out += hex[code & 0xF];
      after_hex_escape = true;
    }
  }
  return out + "\"";
}
