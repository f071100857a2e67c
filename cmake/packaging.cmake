# Installation layout and the Debian package (cpack -G DEB). Included at the end of the
# top-level CMakeLists.txt, once the brumo-setup target exists.

# Debian keeps a package's documents in /usr/share/doc/<package>; set here so it stays the
# package's name whatever the project is called.
set(CMAKE_INSTALL_DOCDIR "share/doc/brumo-setup" CACHE PATH "Documentation directory")
include(GNUInstallDirs)

install(TARGETS brumo-setup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian policy wants manual pages gzip'd at the highest level; -n keeps the name and time
# out of the header so equal sources give equal packages.
set(brumo_man_source ${CMAKE_CURRENT_SOURCE_DIR}/docs/brumo-setup.6)
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
  set(brumo_man_page ${CMAKE_CURRENT_BINARY_DIR}/man/brumo-setup.6.gz)
  add_custom_command(
    OUTPUT ${brumo_man_page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E copy ${brumo_man_source} ${CMAKE_CURRENT_BINARY_DIR}/man/brumo-setup.6
    COMMAND ${GZIP_PROGRAM} -9nf ${CMAKE_CURRENT_BINARY_DIR}/man/brumo-setup.6
    DEPENDS ${brumo_man_source}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(brumo-setup-man ALL DEPENDS ${brumo_man_page})
else()
  set(brumo_man_page ${brumo_man_source})
endif()
install(FILES ${brumo_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brumo-setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brumo vs Tuk maintainers <brumo-setup@example.org>")
# The summary becomes the first line of the Debian description, the text its body.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configura las teclas de Brumo vs Tuk / key setup for Brumo vs Tuk")
set(CPACK_PACKAGE_DESCRIPTION
    "Programa de configuracion de teclas del juego de lucha para dos jugadores\n\
Brumo vs Tuk. Guarda las teclas de cada jugador en brumo.ini.\n\
.\n\
Key-binding setup program of the two-player fighting game Brumo vs Tuk.\n\
It saves each player's keys in brumo.ini.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# <name>_<version>_<architecture>.deb, as Debian names its own packages.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# dpkg-shlibdeps (from dpkg-dev) reads the binary and names the run-time packages with the
# versions it needs; without it, the one library the program links by name.
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "liballegro4.4")
endif()

include(CPack)
