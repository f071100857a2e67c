// The library decides the file's text: it loads the text and saves it into a scratch file, once
// unchanged and once with the keys set, and its reader judges both. Nothing here splits a line
// into names and values: the library does, on each line with a '['.
#include "storage/trial_save.h"

#include <allegro.h>

#include <algorithm>
#include <vector>

#include "app/platform.h"

namespace {

using lines = std::vector<std::string_view>;

// No line of a file can name this entry ('=' ends a name): setting and deleting it makes the
// library write the text anew without changing an entry.
constexpr const char *untouched_entry = "brumo=setup";

const char *section_of(int player) {
  return section_names[static_cast<std::size_t>(player)];
}

bool complete(const key_codes &codes) {
  return std::find(codes.begin(), codes.end(), no_file_scancode) == codes.end();
}

// The library's text for text with codes set in the player's section, or with nothing set when
// codes is null. 0, or the errno of the scratch file.
int library_save(std::string_view text, int player, const key_codes *codes, std::string &saved) {
  std::string path;
  int scratch = 0;
  if (const int error = make_scratch_file(text, path, scratch)) return error;
  push_config_state();
  set_config_file(path.c_str());
  if (codes == nullptr) {
    set_config_string("", untouched_entry, "1");
    set_config_string("", untouched_entry, nullptr);
  }
  for (std::size_t action = 0; codes != nullptr && action < codes->size(); ++action) {
    if ((*codes)[action] != no_file_scancode)
      set_config_int(section_of(player), action_names[action], (*codes)[action]);
  }
  flush_config_file();
  pop_config_state();
  return take_scratch_file(path, scratch, saved);
}

// The player's keys as a game reads them from text (-1 where missing). Each is a walk through
// the whole text: only the keys a judgement needs are read.
key_codes keys_in(std::string_view text, int player) {
  key_codes keys{};
  push_config_state();
  set_config_data(text.data(), static_cast<int>(text.size()));
  for (std::size_t action = 0; action < keys.size(); ++action)
    keys[action] = get_config_int(section_of(player), action_names[action], -1);
  pop_config_state();
  return keys;
}

// A line as the library reads it on its own: the section it opens, else the entry it sets as
// "name=value" (names stop at '='), else "". Call between push_ and pop_config_state.
std::string read_alone(std::string_view line) {
  if (line.find('[') == std::string_view::npos) return {};
  set_config_data(line.data(), static_cast<int>(line.size()));
  const char **names = nullptr;
  std::string read = list_config_sections(&names) > 0 ? names[0] : "";
  free_config_entries(&names);
  if (read.empty() && list_config_entries("", &names) > 0)
    read = std::string(names[0]) + '=' + get_config_string("", names[0], "");
  free_config_entries(&names);
  return read;
}

// The first line of a player's section after its first header, up to the next empty line, that
// opens another section: the library adds the keys a section lacks at the end of that run, in
// the other section. Its index, or the number of lines when there is none.
std::size_t other_section_in_run(const lines &text, int player) {
  const std::string header = std::string("[") + section_of(player) + "]";
  push_config_state();
  std::size_t at = 0;
  while (at < text.size() && ustricmp(read_alone(text[at]).c_str(), header.c_str()) != 0) ++at;
  for (++at; at < text.size() && !text[at].empty(); ++at) {
    const std::string read = read_alone(text[at]);
    if (!read.empty() && read.find('=') == std::string::npos) break;  // another section
  }
  pop_config_state();
  return at < text.size() && !text[at].empty() ? at : text.size();
}

// The keys would land outside the player's section: named at the line where its section runs
// into another, else at the last line, after which the library adds a new section.
file_verdict misplaced(std::string_view text, int player) {
  const lines split = lines_of(text);
  const std::size_t at = other_section_in_run(split, player);
  const std::size_t line = at < split.size() ? at + 1 : std::max<std::size_t>(split.size(), 1);
  return {file_keys_misplaced, static_cast<int>(line), 0, 0, player};
}

// Whether line is "name = value" for one of the keys set, and that name.
bool is_key_set(std::string_view line, const key_codes &codes, std::string &name) {
  for (std::size_t action = 0; action < codes.size(); ++action) {
    const std::string value = " = " + std::to_string(codes[action]);
    if (codes[action] == no_file_scancode || line.size() <= value.size() ||
        line.substr(line.size() - value.size()) != value)
      continue;
    name = line.substr(0, line.size() - value.size());
    if (ustricmp(name.c_str(), action_names[action]) == 0) return true;
  }
  return false;
}

// 0 when saved is unchanged with lines inserted or rewritten only for the keys set, and a new
// section at the end; else the 1-based line of unchanged where they part.
int first_changed_line(const lines &unchanged, const lines &saved, int player,
                       const key_codes &codes) {
  const std::string header = std::string("[") + section_of(player) + "]";
  std::size_t at = 0;
  std::string name;
  for (const std::string_view line : saved) {
    if (at < unchanged.size() && line == unchanged[at]) {
      ++at;
    } else if (is_key_set(line, codes, name)) {
      if (at < unchanged.size() && unchanged[at].substr(0, name.size() + 3) == name + " = ") ++at;
    } else if (at < unchanged.size() || !(line.empty() || line == header)) {
      return static_cast<int>(at) + 1;
    }
  }
  return at < unchanged.size() ? static_cast<int>(at) + 1 : 0;
}

// 0 when every line of the library's unchanged save means what the line of text does; else the
// 1-based line where they part. The library writes every entry anew as "name = value" with LF
// breaks, keeping its meaning, but glues a name starting with '[' to the text after it: a header
// may become none, a line a header, an entry ("[a = 1") another ("[a1").
int first_line_changing_meaning(std::string_view text, std::string_view unchanged) {
  const lines before = lines_of(text);
  const lines after = lines_of(unchanged);
  push_config_state();
  std::size_t line = 0;
  while (line < before.size() && line < after.size() &&
         read_alone(before[line]) == read_alone(after[line]))
    ++line;
  pop_config_state();
  return line < before.size() || line < after.size() ? static_cast<int>(line) + 1 : 0;
}

// Whether a game reads the player's keys from saved: the ones set, and for the others what text
// held (a capture cut short sets only some).
bool keys_where_the_game_reads_them(std::string_view text, std::string_view saved, int player,
                                    const key_codes &codes) {
  key_codes expected = complete(codes) ? codes : keys_in(text, player);
  for (std::size_t action = 0; action < codes.size(); ++action) {
    if (codes[action] != no_file_scancode) expected[action] = codes[action];
  }
  return keys_in(saved, player) == expected;
}

// Whether a later capture of either player lands right in saved, the save of text. One that set
// all seven keys of its player finds them there next time and changes them in place.
file_verdict later_captures_land_right(std::string_view text, std::string_view saved, int player,
                                       const key_codes &codes) {
  const key_codes marks = {901, 902, 903, 904, 905, 906, 907};
  for (int later = 0; later < 2; ++later) {
    if (later == player && complete(codes)) continue;
    std::string again;
    if (const int error = library_save(saved, later, &marks, again))
      return {trial_save_failed, 0, 0, error};
    if (keys_in(again, later) != marks) return misplaced(text, player);
  }
  return {};
}

// The save of text with the keys set, judged by the checks above in turn.
file_verdict judge(std::string_view text, int player, const key_codes &codes, std::string &saved) {
  std::string unchanged;
  if (const int error = library_save(text, player, nullptr, unchanged))
    return {trial_save_failed, 0, 0, error};
  if (const int line = first_line_changing_meaning(text, unchanged))
    return {file_line_changed, line};
  if (const int error = library_save(text, player, &codes, saved))
    return {trial_save_failed, 0, 0, error};
  // Only the player's key lines change: every other line, the other player's keys among them, is
  // kept in order.
  if (const int line = first_changed_line(lines_of(unchanged), lines_of(saved), player, codes))
    return {file_keys_misplaced, line, 0, 0, player};
  if (!keys_where_the_game_reads_them(text, saved, player, codes)) return misplaced(text, player);
  return later_captures_land_right(text, saved, player, codes);
}

// Where an empty line goes before line at of text (at its end when at is the number of lines),
// and the break it takes: that of the line before it, as after a lone CR an LF would only make
// a CRLF of it, and two when the last line has none.
std::pair<std::size_t, std::string_view> empty_line_before(std::string_view text,
                                                           const lines &split, std::size_t at) {
  if (split.empty()) return {0, "\n"};
  const std::string_view before = split[at - 1];
  const auto end = static_cast<std::size_t>(before.data() + before.size() - text.data());
  const std::size_t next =
      at < split.size() ? static_cast<std::size_t>(split[at].data() - text.data()) : text.size();
  return {next, next > end ? text.substr(end, next - end) : std::string_view("\n\n")};
}

// The texts in which an empty line may keep the keys in their section, in the order tried: one at
// the end of the file, one after each player's section that runs into another, both.
std::array<std::string, 3> mended_texts(std::string_view text) {
  const lines split = lines_of(text);
  std::size_t ends[] = {other_section_in_run(split, 0), other_section_in_run(split, 1)};
  if (ends[0] < ends[1]) std::swap(ends[0], ends[1]);  // the later first: offsets stay right
  if (ends[1] == ends[0]) ends[1] = split.size();
  std::string after_sections(text);
  for (const std::size_t at : ends) {
    if (at == split.size()) continue;
    const auto [where, line_break] = empty_line_before(text, split, at);
    after_sections.insert(where, line_break);
  }
  const std::string_view last_break = empty_line_before(text, split, split.size()).second;
  return {std::string(text).append(last_break), after_sections,
          std::string(after_sections).append(last_break)};
}

}  // namespace

file_verdict trial_save(std::string_view text, int player, const key_codes &codes,
                        std::string &saved) {
  // Nothing set: the library would not write at all.
  if (std::all_of(codes.begin(), codes.end(), [](int code) { return code == no_file_scancode; })) {
    saved = text;
    return {};
  }
  const file_verdict verdict = judge(text, player, codes, saved);
  if (verdict.problem != file_keys_misplaced) return verdict;
  for (const std::string &mended : mended_texts(text)) {
    if (judge(mended, player, codes, saved).problem == file_ok) return {};
  }
  return verdict;
}
