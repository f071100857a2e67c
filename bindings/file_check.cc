// The binding file's check: the file system first, then the bytes. It only reads; the library
// still owns parsing and writing the file.
#include "bindings/file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

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
  file_verdict verdict;
  verdict.problem = problem;
  verdict.line = line_of(bytes, offset);
  return verdict;
}

file_verdict system_problem(file_problem problem, int error) {
  file_verdict verdict;
  verdict.problem = problem;
  verdict.system_error = error;
  return verdict;
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

std::string error_text(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "permiso denegado";
    case EROFS:
      return "sistema de archivos de solo lectura";
    default:
      return std::strerror(error);
  }
}

}  // namespace

file_verdict check_binding_text(std::string_view bytes) {
  if (bytes.size() > binding_file_size_cap) {
    file_verdict verdict;
    verdict.problem = file_too_large;
    return verdict;
  }
  if (bytes.substr(0, byte_order_mark.size()) == byte_order_mark)
    return text_problem(file_has_byte_order_mark, bytes, 0);
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) return text_problem(file_has_nul_byte, bytes, nul);
  const auto *const invalid = utf8::find_invalid(bytes.begin(), bytes.end());
  if (invalid != bytes.end())
    return text_problem(file_not_utf8, bytes, static_cast<std::size_t>(invalid - bytes.begin()));
  return {};
}

file_verdict check_binding_file(const char *path) {
  struct stat status {};
  if (stat(path, &status) != 0) {
    if (errno != ENOENT) return system_problem(file_unreadable, errno);
    // The library creates the file when it first saves it.
    if (access(".", W_OK | X_OK) != 0) return system_problem(directory_not_writable, errno);
    return {};
  }
  if (!S_ISREG(status.st_mode)) {
    file_verdict verdict;
    verdict.problem = file_not_regular;
    verdict.file_type = static_cast<int>(status.st_mode & S_IFMT);
    return verdict;
  }
  if (static_cast<std::size_t>(status.st_size) > binding_file_size_cap) {
    file_verdict verdict;
    verdict.problem = file_too_large;
    return verdict;
  }
  if (access(path, W_OK) != 0) return system_problem(file_not_writable, errno);

  // O_NONBLOCK: should the file be swapped for a FIFO since the stat, opening still returns.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return system_problem(file_unreadable, errno);
  std::string bytes;
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    close(fd);
    file_verdict verdict;
    verdict.problem = file_not_regular;
    verdict.file_type = static_cast<int>(opened.st_mode & S_IFMT);
    return verdict;
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
    if (bytes.size() > binding_file_size_cap) {
      close(fd);
      file_verdict verdict;
      verdict.problem = file_too_large;
      return verdict;
    }
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
    case file_unreadable:
      return "no se puede leer " + file + ": " + error_text(verdict.system_error) + untouched;
    case file_not_writable:
      return "no se puede escribir " + file + " (" + error_text(verdict.system_error) +
             "): las teclas no se podrian guardar" + untouched;
    case directory_not_writable:
      return "no se puede crear " + file + " en este directorio (" +
             error_text(verdict.system_error) + "): las teclas no se podrian guardar";
    case file_too_large:
      return file + " mide mas de " + std::to_string(binding_file_size_cap / (std::size_t{1024} * 1024)) +
             " MiB: no parece un archivo de teclas" + untouched;
    case file_has_byte_order_mark:
      return at_line +
             "empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM" +
             untouched;
    case file_has_nul_byte:
      return at_line + "contiene un byte nulo; no es un archivo de texto" + untouched;
    case file_not_utf8:
      return at_line + "no es texto UTF-8 valido; guardelo como UTF-8" + untouched;
  }
  return file + ": problema desconocido" + untouched;
}
