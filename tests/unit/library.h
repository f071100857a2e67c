// The unit tests' fixture: the library started once per process, without a display.
#pragma once

#include <allegro.h>
#include <cerrno>
#include <cstdlib>

inline bool library_started() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0;
  return started;
}
