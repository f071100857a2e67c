# What the two mingw-w64 toolchain files share; each sets BRUMO_MINGW_TRIPLET and the processor
# first. Debian's "posix" thread compilers have std::thread and std::mutex (the "win32" ones do not).

set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_C_COMPILER NAMES ${BRUMO_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${BRUMO_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${BRUMO_MINGW_TRIPLET}-windres REQUIRED)
find_program(CMAKE_AR NAMES ${BRUMO_MINGW_TRIPLET}-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES ${BRUMO_MINGW_TRIPLET}-ranlib REQUIRED)

# Headers and libraries come from the mingw-w64 tree and, when -DBRUMO_WIN_ALLEGRO=DIR is given,
# from the folder windows/build-allegro.sh installed the Windows Allegro into (a second root, so
# find_library(alleg) and find_path(allegro.h) look in DIR/lib and DIR/include); programs run
# during the build come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${BRUMO_MINGW_TRIPLET})
if(BRUMO_WIN_ALLEGRO)
  list(APPEND CMAKE_FIND_ROOT_PATH "${BRUMO_WIN_ALLEGRO}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No host .pc files for a Windows target.
set(ENV{PKG_CONFIG_LIBDIR} "")
set(ENV{PKG_CONFIG_PATH} "")
