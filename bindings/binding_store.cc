// The library decides the file's text; this module decides how the bytes reach the disk. The
// library never opens the real file: it reads a copy in memory and saves into an anonymous
// memory file, and the result is checked before a byte of the real file changes.
#include "bindings/binding_store.h"

#include <allegro.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <mutex>

#include "bindings/file_check.h"
#include "storage/in_place_write.h"

namespace {

const std::string file = std::string("\"") + binding_file_name + "\"";
const std::string untouched = "; no se ha modificado";

bool file_was_link = false;
std::string link_target;
// A save from the display-loss path may race one from the main loop.
std::mutex save_mutex;

// The process's file-size limit (ulimit -f), which memory files count against too.
const std::string over_size_limit = "supera el limite de tamano de archivo del proceso (ulimit -f)";
std::size_t file_size_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return static_cast<std::size_t>(-1);
  return static_cast<std::size_t>(limit.rlim_cur);
}

std::string link_target_of(const char *path) {
  char target[PATH_MAX];
  const ssize_t length = readlink(path, target, sizeof target);
  return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

bool write_all(int fd, std::string_view bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote =
        pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

std::string read_all(int fd) {
  std::string bytes;
  char buffer[16384];
  for (off_t at = 0;;) {
    const ssize_t got = pread(fd, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
}

// The file as it is now. An editor that saved it by renaming a new file into place made an
// ordinary edit; a link that appeared or now points elsewhere is never written through.
std::string read_current(std::string &bytes, bool &exists) {
  struct stat status {};
  exists = lstat(binding_file_name, &status) == 0;
  if (exists && S_ISLNK(status.st_mode) &&
      (!file_was_link || link_target_of(binding_file_name) != link_target))
    return file + " se ha cambiado por un enlace a otro archivo mientras el programa funcionaba" +
           untouched;
  const file_verdict verdict = read_binding_file(binding_file_name, bytes);
  return verdict.problem == file_ok ? std::string() : describe_verdict(verdict, binding_file_name);
}

// Both players' keys as a game reads them from text (-1 where missing).
std::array<key_codes, 2> keys_in(std::string_view text) {
  std::array<key_codes, 2> keys{};
  push_config_state();
  set_config_data(text.data(), static_cast<int>(text.size()));
  for (int player = 0; player < 2; ++player) {
    char section[section_name_size];
    format_section_name(section, player);
    for (std::size_t action = 0; action < action_names.size(); ++action)
      keys[static_cast<std::size_t>(player)][action] =
          get_config_int(section, action_names[action], -1);
  }
  pop_config_state();
  return keys;
}

// Whether saved is what a game must read after the keys were set in text, and a file the
// program would take again.
bool reads_back_right(std::string_view text, std::string_view saved, int player,
                      const key_codes &codes) {
  if (check_binding_text(saved).problem != file_ok) return false;
  std::array<key_codes, 2> expected = keys_in(text);
  for (std::size_t action = 0; action < codes.size(); ++action) {
    if (codes[action] != no_file_scancode)
      expected[static_cast<std::size_t>(player)][action] = codes[action];
  }
  return keys_in(saved) == expected;
}

// What the library writes for text with the keys set, saving into a memory file.
bool library_save(std::string_view text, int player, const key_codes &codes, std::string &saved) {
  const int memory = memfd_create(binding_file_name, MFD_CLOEXEC);
  if (memory < 0) return false;
  if (!write_all(memory, text)) {
    close(memory);
    return false;
  }
  char section[section_name_size];
  format_section_name(section, player);
  const std::string path = "/proc/self/fd/" + std::to_string(memory);
  push_config_state();
  set_config_file(path.c_str());
  for (std::size_t action = 0; action < codes.size(); ++action) {
    if (codes[action] != no_file_scancode)
      set_config_int(section, action_names[action], codes[action]);
  }
  flush_config_file();
  pop_config_state();
  saved = read_all(memory);
  close(memory);
  return true;
}

int line_count(std::string_view text) {
  int lines = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
      ++lines;
  }
  return text.empty() || text.back() == '\n' || text.back() == '\r' ? lines : lines + 1;
}

std::string rewrite_file(std::string_view before, std::string_view after, bool exists) {
  int flags = O_WRONLY | O_NONBLOCK | O_CLOEXEC;
  if (!file_was_link) flags |= O_NOFOLLOW;
  // Created as the library would; an existing file keeps its inode, owner and mode.
  if (!exists) flags |= O_CREAT | O_EXCL;
  const int fd = open(binding_file_name, flags, 0666);
  if (fd < 0) return "no se pudo guardar " + file + ": " + system_error_text(errno) + untouched;
  struct stat status {};
  std::string reason;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    reason = "ya no es un archivo normal" + untouched;
  } else if (after.size() > file_size_limit()) {
    reason = over_size_limit + untouched;
  } else {
    const write_outcome outcome = write_in_place(fd, before, after, pwrite);
    if (outcome.error != 0 && !outcome.restored) {
      close(fd);
      return "no se pudo guardar " + file + " (" + system_error_text(outcome.error) +
             ") y puede haber quedado incompleto";
    }
    if (outcome.error != 0) reason = system_error_text(outcome.error) + untouched;
  }
  close(fd);
  return reason.empty() ? reason : "no se pudo guardar " + file + ": " + reason;
}

// Whether the disk has room for saved beyond what the file already holds there.
std::string room_for(std::string_view saved, bool exists) {
  struct stat status {};
  struct statvfs disk {};
  if ((exists && stat(binding_file_name, &status) != 0) || statvfs(".", &disk) != 0) return {};
  const auto block = static_cast<std::size_t>(disk.f_frsize);
  const std::size_t held = exists ? static_cast<std::size_t>(status.st_blocks) * 512 : 0;
  const std::size_t needed = (saved.size() + block - 1) / block * block;
  // Root may use the blocks kept back for it.
  const auto available =
      static_cast<std::size_t>(geteuid() == 0 ? disk.f_bfree : disk.f_bavail) * block;
  if (needed <= held || needed - held <= available) return {};
  return "no se podrian guardar las teclas en " + file + ": " + system_error_text(ENOSPC) +
         untouched;
}

}  // namespace

std::string open_binding_store() {
  char directory[PATH_MAX];
  if (getcwd(directory, sizeof directory) == nullptr) {
    const int error = errno;
    // Nothing is saved here any more, and the message box's helper will not start in it.
    if (chdir("/") != 0) { /* the message still reaches stderr */
    }
    return "el directorio actual ya no existe o no se puede leer (" + system_error_text(error) +
           "); ejecute el programa en el directorio del juego";
  }
  // Held until exit on the directory, which exists even when the file does not yet, and
  // which the library's own opening and closing of the file never release.
  const int directory_fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd < 0 || flock(directory_fd, LOCK_EX | LOCK_NB) != 0)
    return errno == EWOULDBLOCK
               ? "otra copia de brumo-setup ya esta configurando las teclas en este directorio; "
                 "cierrela antes de abrir otra"
               : "no se pudo reservar el directorio (" + system_error_text(errno) + ")";
  struct stat status {};
  file_was_link = lstat(binding_file_name, &status) == 0 && S_ISLNK(status.st_mode);
  if (file_was_link) link_target = link_target_of(binding_file_name);
  std::string bytes;
  const file_verdict verdict = read_binding_file(binding_file_name, bytes);
  return verdict.problem == file_ok ? std::string() : describe_verdict(verdict, binding_file_name);
}

std::string saved_text(std::string_view text, int player, const key_codes &codes,
                       std::string &reason) {
  std::string saved;
  const bool prepared = library_save(text, player, codes, saved);
  if (!prepared && errno != EFBIG) {
    reason = "no se pudo preparar el guardado (" + system_error_text(errno) + ")" + untouched;
    return {};
  }
  // The library's writer checks nothing: a text cut at the limit must not pass for the save.
  if (!prepared || saved.size() >= file_size_limit()) {
    reason = "no se pudo guardar " + file + ": " + over_size_limit + untouched;
    return {};
  }
  if (saved.size() > binding_file_size_cap) {
    reason = "guardar las teclas haria " + file + " mayor que " +
             std::to_string(binding_file_size_cap / (std::size_t{1024} * 1024)) + " MiB" +
             untouched;
    return {};
  }
  if (reads_back_right(text, saved, player, codes)) {
    reason.clear();
    return saved;
  }
  // The library appends a new section straight after the last line when that line has no
  // value (a section header, "name ="), so the section above runs into the new one. Advice
  // is given only where it is seen to mend the file.
  std::string mended(text);
  if (!mended.empty() && mended.back() != '\n' && mended.back() != '\r') mended += '\n';
  mended += '\n';
  std::string mended_saved;
  const bool blank_line_mends = library_save(mended, player, codes, mended_saved) &&
                                reads_back_right(mended, mended_saved, player, codes);
  reason =
      file + (blank_line_mends ? ", linea " + std::to_string(line_count(text)) : "") +
      ": la biblioteca guardaria las teclas del jugador " + std::to_string(player + 1) +
      " fuera de su seccion; " +
      (blank_line_mends ? "anada una linea vacia al final del archivo"
                        : "separe cada seccion de jugador de la siguiente con una linea vacia") +
      untouched;
  return {};
}

std::string check_before_capture(int player) {
  std::string bytes;
  bool exists = false;
  std::string reason = read_current(bytes, exists);
  if (!reason.empty()) return reason;
  // Where the keys land depends on which keys exist, not on their values; the widest values
  // give the most room the save can need.
  key_codes widest{};
  widest.fill(100);
  const std::string saved = saved_text(bytes, player, widest, reason);
  return reason.empty() ? room_for(saved, exists) : reason;
}

std::string save_keys(int player, const key_codes &codes) {
  const std::lock_guard<std::mutex> lock(save_mutex);
  if (std::all_of(codes.begin(), codes.end(), [](int code) { return code == no_file_scancode; }))
    return {};
  std::string before;
  bool exists = false;
  std::string reason = read_current(before, exists);
  if (!reason.empty()) return reason;
  const std::string after = saved_text(before, player, codes, reason);
  if (!reason.empty()) return reason;
  // Nothing set, nothing written: the library rewrites every line it saves.
  if (after == before && exists) return {};
  reason = rewrite_file(before, after, exists);
  if (!reason.empty()) return reason;
  std::string written;
  if (read_binding_file(binding_file_name, written).problem != file_ok || written != after)
    return "no se pudo comprobar lo guardado en " + file + "; reviselo";
  return {};
}
