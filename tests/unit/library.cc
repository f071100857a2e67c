// The unit tests' fixture (library.h); apart, since the library's header and Windows' clash.
#include "tests/unit/library.h"

#include <allegro.h>
#include <cerrno>
#include <cstdlib>

bool library_started() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0;
  return started;
}
