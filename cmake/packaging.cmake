# Installation layout and the Debian package (cpack -G DEB). Included at the end of the
# top-level CMakeLists.txt, once the brumo-setup target exists.

# Debian keeps a package's documents in /usr/share/doc/<package>; set here so it stays the
# package's name whatever the project is called.
set(CMAKE_INSTALL_DOCDIR "share/doc/brumo-setup" CACHE PATH "Documentation directory")
include(GNUInstallDirs)

install(TARGETS brumo-setup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package's Debian revision; packaging/changelog's latest entry must name this version.
set(BRUMO_DEBIAN_REVISION 1)
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog brumo_changelog_top LIMIT_COUNT 1)
if(NOT brumo_changelog_top MATCHES "^brumo-setup \\(${PROJECT_VERSION}-${BRUMO_DEBIAN_REVISION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with '${brumo_changelog_top}', not an entry for "
                      "brumo-setup ${PROJECT_VERSION}-${BRUMO_DEBIAN_REVISION}")
endif()

# Debian policy wants manual pages and changelogs gzip'd at the highest level; -n keeps the
# name and time out of the header so equal sources give equal packages. gzip is essential on
# Debian; elsewhere the files go in as they are.
find_program(GZIP_PROGRAM gzip)
function(brumo_gzipped source name out_var)
  if(NOT GZIP_PROGRAM)
    set(${out_var} ${source} PARENT_SCOPE)
    return()
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/gzipped)
  add_custom_command(
    OUTPUT ${dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${dir}/${name}
    COMMAND ${GZIP_PROGRAM} -9nf ${dir}/${name}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  set(${out_var} ${dir}/${name}.gz PARENT_SCOPE)
endfunction()

brumo_gzipped(${CMAKE_CURRENT_SOURCE_DIR}/docs/brumo-setup.6 brumo-setup.6 brumo_man_page)
brumo_gzipped(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog changelog.Debian brumo_changelog)
add_custom_target(brumo-setup-gzipped ALL DEPENDS ${brumo_man_page} ${brumo_changelog})
install(FILES ${brumo_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
# The changelog keeps its Debian name even when gzip is missing.
if(GZIP_PROGRAM)
  install(FILES ${brumo_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  install(FILES ${brumo_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog.Debian)
endif()
# Machine-readable (DEP-5): who holds the copyright and under what terms.
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brumo-setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# A placeholder until the project has a real address: example.org is reserved (RFC 2606) and
# reaches no one, so no mail meant for the maintainers can go astray.
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
set(CPACK_DEBIAN_PACKAGE_RELEASE ${BRUMO_DEBIAN_REVISION})
# A setup tool in /usr/bin, not a game: Debian keeps the games section for /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
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

# The message box that reports a refused binding file is xmessage, from x11-utils; without X
# fonts it cannot show its text cleanly.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "x11-utils, xfonts-base")

include(CPack)
