# CMake toolchain for a 64-bit Windows build of brumo-setup and its Allegro, made only to run the
# tests under 64-bit Wine on machines whose kernel runs no 32-bit programs (32-bit Wine needs
# them). Never shipped: Allegro 4.4's Windows port truncates pointers to 32 bits in places.

set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRUMO_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
