# CMake toolchain for the Windows build of brumo-setup (and of the Allegro 4.4 it links): 32-bit
# Windows (i686), the build the players get. Allegro 4.4's Windows port is not 64-bit clean.
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=windows/toolchain-i686-mingw.cmake -DCMAKE_INSTALL_PREFIX=... \
#         -DBRUMO_WIN_ALLEGRO=<folder given to windows/build-allegro.sh> ..

set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRUMO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
