// The binding file's check: the file system first, then the bytes. It only reads; the library
// still owns parsing and writing the file.
#include "bindings/file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

#include "bindings/binding_file.h"

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";

// Line breaks as the library reads them: LF, CRLF or a lone CR.
int line_of(std::string_view bytes, std::size_t offset) {
  int line = 1;
  for (std::size_t i = 0; i < offset && i < bytes.size(); ++i) {
    if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
      ++line;
  }
  return line;
}

file_verdict text_problem(file_problem problem, std::string_view bytes, std::size_t offset) {
  return {problem, line_of(bytes, offset)};
}

file_verdict system_problem(file_problem problem, int error) {
  return {problem, 0, 0, error};
}

file_verdict not_regular(mode_t mode) {
  return {file_not_regular, 0, static_cast<int>(mode & S_IFMT)};
}

const char *file_type_name(int file_type) {
  switch (file_type & S_IFMT) {
    case S_IFDIR:
      return "un directorio";
    case S_IFIFO:
      return "una tuberia con nombre (FIFO)";
    case S_IFCHR:
    case S_IFBLK:
      return "un dispositivo";
    case S_IFSOCK:
      return "un socket";
    default:
      return "un archivo especial";
  }
}

}  // namespace

std::string system_error_text(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "permiso denegado";
    case EROFS:
      return "sistema de archivos de solo lectura";
    case ENOSPC:
      return "no queda espacio en el disco";
    case EDQUOT:
      return "cuota de disco agotada";
    case ENOENT:
      return "no existe";
    default:
      return std::strerror(error);
  }
}

namespace {

// What follows reads the file as the library's configuration code does, to find the layouts
// whose meaning its save would change and the long lines its loader overruns on. The bytes are
// valid UTF-8 by then.

// The library's white space (uisspace); names and values split on it too.
bool library_space(char32_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x202F || c == 0x3000;
}

bool name_character(char32_t c) {
  return !library_space(c) && c != '=' && c != '#';
}

bool space_or_equals(char32_t c) {
  return library_space(c) || c == '=';
}

std::size_t skip(std::string_view text, std::size_t at, bool (*holds)(char32_t)) {
  while (at < text.size()) {
    const char *position = text.data() + at;
    if (!holds(utf8::unchecked::next(position))) break;
    at = static_cast<std::size_t>(position - text.data());
  }
  return at;
}

// A line as the library reads it: the name runs from the first non-space to a space, '=' or
// '#', and the value starts after the spaces and '=' signs that follow. A line with no name is
// a comment or blank, kept as it is.
struct library_line {
  std::size_t offset = 0;  // of its first byte in the file
  std::string_view text;
  std::string_view name;
  std::string_view value;
};

// The line from at, moving at past its break: CR or LF, where CRLF and LFCR count as one.
library_line next_line(std::string_view bytes, std::size_t &at) {
  library_line line;
  line.offset = at;
  const std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
  line.text = bytes.substr(at, end - at);
  const std::size_t name_start = skip(line.text, 0, library_space);
  const std::size_t name_end = skip(line.text, name_start, name_character);
  line.name = line.text.substr(name_start, name_end - name_start);
  if (!line.name.empty()) line.value = line.text.substr(skip(line.text, name_end, space_or_equals));
  at = end;
  if (at < bytes.size()) {
    const char first = bytes[at++];
    if (at < bytes.size() && (bytes[at] == '\r' || bytes[at] == '\n') && bytes[at] != first) ++at;
  }
  return line;
}

bool is_header(std::string_view name) {
  return !name.empty() && name.front() == '[' && name.back() == ']';
}

// Names compare as the library compares them (ustricmp): ASCII case aside, and U+0130, the one
// other character it lowers into ASCII ("i"). want is lower-case ASCII.
bool same_name(std::string_view name, std::string_view want) {
  std::size_t at = 0;
  for (const char expected : want) {
    if (at == name.size()) return false;
    const char *position = name.data() + at;
    char32_t c = utf8::unchecked::next(position);
    at = static_cast<std::size_t>(position - name.data());
    if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
    if (c == 0x130) c = U'i';
    if (c != static_cast<unsigned char>(expected)) return false;
  }
  return at == name.size();
}

// The library adds a key a player's section lacks after the run of non-empty lines that starts
// at the section's first header: neither a blank line of spaces nor a comment ends that run,
// and should another section's header come within it, the key lands in that section instead.
struct player_section_scan {
  std::string header;  // "[jugador0]"
  bool seen = false;
  bool in_run = true;  // after the first header, until an empty line
  bool run_in_player = false;
  bool in_section = false;
  std::size_t crossed = std::string_view::npos;  // the other header inside the run
  std::array<bool, action_names.size()> present{};
};

player_section_scan start_player_scan(int player) {
  char section[section_name_size];
  format_section_name(section, player);
  player_section_scan scan;
  scan.header = std::string("[") + section + "]";
  return scan;
}

void scan_line(player_section_scan &scan, const library_line &line) {
  const bool header = is_header(line.name);
  if (!scan.seen) {
    scan.seen = header && same_name(line.name, scan.header);
    scan.run_in_player = scan.seen;
  } else if (scan.in_run && line.text.empty()) {
    scan.in_run = false;
  } else if (scan.in_run && header) {
    scan.run_in_player = same_name(line.name, scan.header);
    if (!scan.run_in_player && scan.crossed == std::string_view::npos) scan.crossed = line.offset;
  }
  if (header) {
    scan.in_section = same_name(line.name, scan.header);
  } else if (scan.in_section) {
    for (std::size_t i = 0; i < action_names.size(); ++i)
      if (same_name(line.name, action_names[i])) scan.present[i] = true;
  }
}

// Offset of the other section's header where missing keys would land, or npos.
std::size_t misplaced_keys_at(const player_section_scan &scan) {
  const bool complete =
      std::all_of(scan.present.begin(), scan.present.end(), [](bool p) { return p; });
  return scan.seen && !complete && !scan.run_in_player ? scan.crossed : std::string_view::npos;
}

file_verdict layout_problem(std::string_view bytes) {
  player_section_scan players[] = {start_player_scan(0), start_player_scan(1)};
  for (std::size_t at = 0; at < bytes.size();) {
    const library_line line = next_line(bytes, at);
    // The library saves a name that starts with '[' with its value glued on, no " = " between:
    // "[a] b" comes back as "[a]b", no longer a section, and "[mi seccion]" as "[miseccion]".
    // A value after '#' survives that.
    if (!line.name.empty() && line.name.front() == '[' && !line.value.empty() &&
        line.value.front() != '#')
      return text_problem(file_section_line_has_text, bytes, line.offset);
    if (line.text.size() > long_line_bytes &&
        std::any_of(line.text.begin(), line.text.end(), [](char c) { return (c & 0x80) != 0; }))
      return text_problem(file_long_line_not_ascii, bytes, line.offset);
    for (player_section_scan &player : players) scan_line(player, line);
  }
  for (const player_section_scan &player : players) {
    const std::size_t at = misplaced_keys_at(player);
    if (at != std::string_view::npos) return text_problem(file_player_section_runs_on, bytes, at);
  }
  return {};
}

}  // namespace

file_verdict check_binding_text(std::string_view bytes) {
  if (bytes.size() > binding_file_size_cap) return {file_too_large};
  if (bytes.substr(0, byte_order_mark.size()) == byte_order_mark)
    return text_problem(file_has_byte_order_mark, bytes, 0);
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) return text_problem(file_has_nul_byte, bytes, nul);
  const auto *const invalid = utf8::find_invalid(bytes.begin(), bytes.end());
  if (invalid != bytes.end())
    return text_problem(file_not_utf8, bytes, static_cast<std::size_t>(invalid - bytes.begin()));
  return layout_problem(bytes);
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
  return check_binding_text(bytes);
}

std::string describe_verdict(const file_verdict &verdict, const char *path) {
  const std::string file = std::string("\"") + path + "\"";
  const std::string at_line = file + ", linea " + std::to_string(verdict.line) + ": ";
  const std::string untouched = "; no se ha modificado";
  switch (verdict.problem) {
    case file_ok:
      return file + " se puede usar";
    case file_not_regular:
      return file + " no es un archivo normal sino " + file_type_name(verdict.file_type) +
             "; borrelo o cambiele el nombre";
    case file_dangling_link:
      return file +
             " es un enlace a un archivo que no existe, y las teclas podrian no "
             "guardarse en ninguna parte; borre el enlace o cree el archivo";
    case file_unreadable:
      return "no se puede leer " + file + ": " + system_error_text(verdict.system_error) +
             untouched;
    case file_not_writable:
      return "no se puede escribir " + file + " (" + system_error_text(verdict.system_error) +
             "): las teclas no se podrian guardar" + untouched;
    case directory_not_writable:
      return "no se puede crear " + file + " en este directorio (" +
             system_error_text(verdict.system_error) + "): las teclas no se podrian guardar";
    case file_too_large:
      return file + " mide mas de " +
             std::to_string(binding_file_size_cap / (std::size_t{1024} * 1024)) +
             " MiB: no parece un archivo de teclas" + untouched;
    case file_has_byte_order_mark:
      return at_line +
             "empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM" +
             untouched;
    case file_has_nul_byte:
      return at_line + "contiene un byte nulo; no es un archivo de texto" + untouched;
    case file_not_utf8:
      return at_line + "no es texto UTF-8 valido; guardelo como UTF-8" + untouched;
    case file_section_line_has_text:
      return at_line +
             "la cabecera de seccion tiene un espacio en el nombre o texto detras, y la "
             "biblioteca la estropearia al guardar; quite el espacio o ponga el texto tras un #" +
             untouched;
    case file_long_line_not_ascii:
      return at_line + "mide mas de " + std::to_string(long_line_bytes) +
             " bytes y tiene caracteres no ASCII, que la biblioteca estropea en lineas tan "
             "largas; acortela o deje solo ASCII" +
             untouched;
    case file_player_section_runs_on:
      return at_line +
             "esta seccion empieza sin una linea vacia tras una seccion de jugador incompleta, y "
             "la biblioteca guardaria aqui las teclas que le faltan; ponga una linea vacia antes" +
             untouched;
  }
  return file + ": problema desconocido" + untouched;
}
