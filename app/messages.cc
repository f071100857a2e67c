// The program's words: a line per refusal, built from what storage found.
#include "app/messages.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bindings/binding_file.h"

namespace {

const std::string file = std::string("\"") + binding_file_name + "\"";
const std::string untouched = "; no se ha modificado";

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

std::string size_text(std::size_t bytes) {
  return bytes % (1024 * 1024) == 0 ? std::to_string(bytes / (1024 * 1024)) + " MiB"
                                    : std::to_string(bytes / 1024) + " KiB";
}

}  // namespace

std::string describe(const file_verdict &verdict) {
  const std::string at_line = file + ", linea " + std::to_string(verdict.line) + ": ";
  const std::string error = system_error_text(verdict.system_error);
  switch (verdict.problem) {
    case file_ok:
      return file + " se puede usar";
    case directory_gone:
      return "el directorio actual ya no existe o no se puede leer (" + error +
             "); ejecute el programa en el directorio del juego";
    case directory_in_use:
      return "otra copia de brumo-setup ya esta configurando las teclas en este directorio; "
             "cierrela antes de abrir otra";
    case directory_not_lockable:
      return "no se pudo reservar el directorio (" + error + ")";
    case file_not_regular:
      return file + " no es un archivo normal sino " + file_type_name(verdict.file_type) +
             "; borrelo o cambiele el nombre";
    case file_dangling_link:
      return file +
             " es un enlace a un archivo que no existe, y las teclas podrian no guardarse en "
             "ninguna parte; borre el enlace o cree el archivo";
    case file_swapped_for_link:
      return file + " se ha cambiado por un enlace a otro archivo mientras el programa funcionaba" +
             untouched;
    case file_unreadable:
      return "no se puede leer " + file + ": " + error + untouched;
    case file_not_writable:
      return "no se puede escribir " + file + " (" + error + "): las teclas no se podrian guardar" +
             untouched;
    case directory_not_writable:
      return "no se puede crear " + file + " en este directorio (" + error +
             "): las teclas no se podrian guardar";
    case file_too_large:
      return file + " mide mas de " + size_text(binding_file_size_cap) +
             ": no parece un archivo de teclas" + untouched;
    case file_has_byte_order_mark:
      return at_line +
             "empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM" +
             untouched;
    case file_has_nul_byte:
      return at_line + "contiene un byte nulo; no es un archivo de texto" + untouched;
    case file_not_utf8:
      return at_line + "no es texto UTF-8 valido; guardelo como UTF-8" + untouched;
    case file_long_line_not_ascii:
      return at_line + "mide mas de " + std::to_string(long_line_bytes) +
             " bytes y tiene caracteres no ASCII, que la biblioteca estropea en lineas tan "
             "largas; acortela o deje solo ASCII" +
             untouched;
    case file_line_changed:
      return at_line +
             "la cabecera de seccion tiene un espacio en el nombre o texto detras, y la "
             "biblioteca la estropearia al guardar; quite el espacio o ponga el texto tras un #" +
             untouched;
    case file_keys_misplaced:
      return at_line + "la biblioteca guardaria las teclas del jugador " +
             std::to_string(verdict.player + 1) +
             " fuera de su seccion; separe cada seccion de jugador de la siguiente con una linea "
             "vacia" +
             untouched;
    case save_too_large:
      return "guardar las teclas haria " + file + " mayor que " + size_text(binding_file_size_cap) +
             untouched;
    case save_over_size_limit:
      return "no se pudo guardar " + file +
             ": supera el limite de tamano de archivo del proceso (ulimit -f)" + untouched;
    case save_no_room:
      return "no se podrian guardar las teclas en " + file + ": " + error + untouched;
    case trial_save_failed:
      return "no se pudo preparar el guardado (" + error + ")" + untouched;
    case save_failed:
      return "no se pudo guardar " + file + ": " + error + untouched;
    case save_incomplete:
      return "no se pudo guardar " + file + " (" + error + ") y puede haber quedado incompleto";
    case save_unverified:
      return "no se pudo comprobar lo guardado en " + file + "; reviselo";
  }
  return file + ": problema desconocido" + untouched;
}

std::string describe(start_failure failure, const std::string &library_error) {
  const std::string detail = library_error.empty() ? "" : ": " + library_error;
  switch (failure) {
    case no_display:
      return "no hay pantalla grafica: DISPLAY no esta definida; ejecute el programa desde un "
             "escritorio" +
             detail;
    case library_not_started: {
      const char *display = std::getenv("DISPLAY");
      return std::string("no se pudo iniciar la biblioteca Allegro en la pantalla DISPLAY=") +
             (display != nullptr ? display : "") + detail;
    }
    case timer_not_installed:
      return "no se pudo instalar el temporizador" + detail;
    case keyboard_not_installed:
      return "no se pudo instalar el teclado" + detail;
    case screen_not_opened:
      return "no se pudo abrir la pantalla de 320x240 en color de 16 bits" + detail;
  }
  return "no se pudo iniciar" + detail;
}

std::string describe_display_loss(const file_verdict &save) {
  return "se perdio la conexion con la pantalla; " +
         (save.problem == file_ok ? std::string("las teclas tomadas estan guardadas")
                                  : describe(save));
}
