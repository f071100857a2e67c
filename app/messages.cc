// The refusals' words: a table of texts, the verdict's details put in their places.
#include "app/messages.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "app/platform.h"
#include "bindings/binding_file.h"

namespace {

// In the texts, by file_problem: %f the file's name, %l "linea N", %e the system's error, %t the
// file's type, %j the player (1 or 2), %c the size cap; %u ends it with "; no se ha modificado".
constexpr char marks[] = "fletjcu";
constexpr std::array<const char *, save_unverified + 1> texts = {
    "%f se puede usar",
    "el directorio actual ya no existe o no se puede leer (%e); ejecute el programa en el "
    "directorio del juego",
    "otra copia de brumo-setup ya esta configurando las teclas en este directorio; cierrela "
    "antes de abrir otra",
    "no se pudo reservar el directorio (%e)",
    "el programa se ha abierto en una carpeta temporal, quiza dentro del zip; extraigalo en la "
    "carpeta del juego y ejecutelo alli",
    "%f no es un archivo normal sino %t; borrelo o cambiele el nombre%u",
    "%f es un enlace a un archivo que no existe, y las teclas podrian no guardarse en ninguna "
    "parte; borre el enlace o cree el archivo",
    "%f se ha cambiado por un enlace a otro archivo mientras el programa funcionaba%u",
    "no se puede leer %f: %e%u",
    "no se puede escribir %f (%e): las teclas no se podrian guardar%u",
    "no se puede crear %f en este directorio (%e): las teclas no se podrian guardar",
    "%f mide mas de %c: no parece un archivo de teclas%u",
    "%f, %l: empieza con una marca de orden de bytes (BOM); guardelo como UTF-8 sin BOM%u",
    "%f, %l: contiene un byte nulo; no es un archivo de texto%u",
    "%f, %l: no es texto UTF-8 valido; guardelo como UTF-8%u",
    "%f, %l: mide mas de 250 bytes y tiene caracteres no ASCII, que la biblioteca estropea en "
    "lineas tan largas; acortela o deje solo ASCII%u",
    "%f, %l: la biblioteca estropearia esta cabecera de seccion al guardar (un espacio en el "
    "nombre, texto detras o falta el ]); corrijala o ponga el texto tras un #%u",
    "%f, %l: la biblioteca guardaria las teclas del jugador %j fuera de su seccion; revise las "
    "cabeceras de seccion de alrededor%u",
    "guardar las teclas haria %f mayor que %c%u",
    "no se pudo guardar %f: supera el limite de tamano de archivo del proceso (ulimit -f)%u",
    "no se podrian guardar las teclas en %f: %e%u",
    "no se pudo preparar el guardado (%e)%u",
    "no se pudo guardar %f: %e%u",
    "no se pudo guardar %f (%e) y puede haber quedado incompleto",
    "no se pudo comprobar lo guardado en %f; reviselo",
};
static_assert(long_line_bytes == 250);

std::string error_text(int error) {
  if (error == EACCES || error == EPERM) return "permiso denegado";
  if (error == EROFS) return "sistema de archivos de solo lectura";
  if (error == ENOSPC) return "no queda espacio en el disco";
  if (error == ENOENT) return "no existe";
  return std::strerror(error);
}

// By the file type bits of st_mode, whose values POSIX fixes.
std::string type_text(int type) {
  if (type == 0040000) return "un directorio";
  if (type == 0010000) return "una tuberia con nombre (FIFO)";
  if (type == 0020000 || type == 0060000) return "un dispositivo";
  if (type == 0140000) return "un socket";
  return "un archivo especial";
}

}  // namespace

std::string describe(const file_verdict &verdict) {
  const std::string details[] = {
      std::string("\"") + binding_file_name + "\"",
      "linea " + std::to_string(verdict.line),
      error_text(verdict.system_error),
      type_text(verdict.file_type),
      std::to_string(verdict.player + 1),
      std::to_string(binding_file_size_cap / 1024) + " KiB",
      "; no se ha modificado",
  };
  std::string line;
  for (const char *at = texts[verdict.problem]; *at != '\0'; ++at) {
    const char *mark = at[0] == '%' && at[1] != '\0' ? std::strchr(marks, at[1]) : nullptr;
    line += mark == nullptr ? std::string(1, *at) : details[mark - marks];
    if (mark != nullptr) ++at;  // past the mark's letter
  }
  return line;
}

std::string describe(start_failure failure, const std::string &library_error) {
  const std::string starts[] = {
      "no hay pantalla grafica: DISPLAY no esta definida; ejecute el programa desde un escritorio",
      "no se pudo iniciar la biblioteca Allegro en " + display_description(),
      "no se pudo instalar el temporizador",
      "no se pudo instalar el teclado",
      "no se pudo abrir la pantalla de 320x240 en color de 16 bits",
  };
  return starts[failure] + (library_error.empty() ? "" : ": " + library_error);
}

std::string describe_display_loss(const file_verdict &save) {
  return "se perdio la conexion con la pantalla; " +
         (save.problem == file_ok ? std::string("las teclas tomadas estan guardadas")
                                  : describe(save));
}
