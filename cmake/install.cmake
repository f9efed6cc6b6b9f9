# Install rules and the Debian package, for Linux: the program and its image in Debian's
# layout for games, the menu entry and icons, the manual page, AppStream metadata, the
# licence and the changelog. A Windows build packages itself with a file of its own.
include(GNUInstallDirs)

# Debian's layout for games: the program in games/, its data in share/games/zavit.
set(ZAVIT_GAMES_DIR games)
set(ZAVIT_DATA_DIR ${CMAKE_INSTALL_DATADIR}/games/zavit)
set(ZAVIT_PROGRAM "${CMAKE_INSTALL_PREFIX}/${ZAVIT_GAMES_DIR}/zavit")
set(ZAVIT_DATA_PATH "${CMAKE_INSTALL_PREFIX}/${ZAVIT_DATA_DIR}")
# The program finds its installed image from its own folder, so the installation can move.
file(RELATIVE_PATH ZAVIT_DATA_FROM_PROGRAM "${CMAKE_INSTALL_PREFIX}/${ZAVIT_GAMES_DIR}"
     "${ZAVIT_DATA_PATH}")
target_compile_definitions(zavit PRIVATE ZAVIT_DATA_FROM_PROGRAM="${ZAVIT_DATA_FROM_PROGRAM}")
set(ZAVIT_METAINFO com.example.zavit.metainfo.xml)
set(ZAVIT_MAINTAINER "zavit developers <developers@zavit.invalid>")
# SDL 1.2 through sdl12-compat: on Debian 12 its shim puts libSDL-1.2.so.0 where
# programs find it, while a bare libsdl1.2debian there is the classic library.
set(ZAVIT_SDL_DEPENDS "libsdl1.2-compat-shim (>= 1.2.60) | libsdl1.2debian (>= 1.2.15)")
set(ZAVIT_GZIP gzip -n -9 -k -f)   # no name or time in the header, best compression

# Hardened as Debian builds its own programs: checked libc calls, and relocations made
# read-only at start. Not in the sanitizer and fuzz builds, which check memory themselves.
if(NOT ZAVIT_SANITIZE AND NOT ZAVIT_FUZZ)
  target_compile_definitions(zavit_options INTERFACE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  target_link_options(zavit PRIVATE LINKER:-z,relro,-z,now)
endif()

# The newest entries of the changelog and of the metadata's releases are this version.
function(zavit_require_version file entry_pattern)
  file(STRINGS assets/${file} newest REGEX "${entry_pattern}" LIMIT_COUNT 1)
  if(NOT newest MATCHES "[(\"]${PROJECT_VERSION}[)\"]")
    message(FATAL_ERROR "assets/${file}: the newest entry is not version ${PROJECT_VERSION}")
  endif()
endfunction()
zavit_require_version(changelog "^zavit \\(")
zavit_require_version(${ZAVIT_METAINFO} "<release ")

# The entry names the installed program, which the menu starts in the home folder, and the
# manual page names the data folder with the installed zavit.bmp: both for the prefix installed to.
configure_file(assets/zavit.desktop ${CMAKE_CURRENT_BINARY_DIR}/zavit.desktop @ONLY)
configure_file(assets/zavit.6 ${CMAKE_CURRENT_BINARY_DIR}/zavit.6 @ONLY)
configure_file(assets/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog COPYONLY)
foreach(document zavit.6 changelog)
  execute_process(COMMAND ${ZAVIT_GZIP} ${document}
                  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip could not compress ${document}")
  endif()
endforeach()

install(TARGETS zavit RUNTIME DESTINATION ${ZAVIT_GAMES_DIR})
# Stripping also drops the compiler's notes, as Debian's own packages do.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ZAVIT_GAMES_DIR}/zavit\")
endif()")
install(FILES assets/zavit.bmp DESTINATION ${ZAVIT_DATA_DIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zavit.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES assets/${ZAVIT_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zavit.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz assets/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# From Debian 13 on, lintian passes on appstreamcli's warning that the metadata names no
# homepage; Debian 12's lintian knows no such tag and calls an override of it an error. A
# package is built on the release it is for, so the build machine's release decides.
if(EXISTS /etc/debian_version)
  file(STRINGS /etc/debian_version debian_release LIMIT_COUNT 1)
  if(NOT debian_release MATCHES "^([0-9]+)" OR CMAKE_MATCH_1 GREATER_EQUAL 13)
    install(FILES assets/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME zavit)
  endif()
endif()
# Icons made from the sprite by assets/make-icons.
foreach(size 16 48 128)
  install(FILES assets/zavit-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zavit.png)
endforeach()

# A Debian package. dpkg-shlibdeps finds the runtime libraries the program links to; a
# shlibs.local beside it, written just before, names SDL's entry.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/deb-sdl-depends.cmake
     "file(WRITE \"\${CPACK_TEMPORARY_DIRECTORY}/debian/shlibs.local\"
     \"libSDL-1.2 0 ${ZAVIT_SDL_DEPENDS}\\n\")\n")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_BINARY_DIR}/deb-sdl-depends.cmake)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zavit)
set(CPACK_PACKAGE_VENDOR "the zavit developers")
set(CPACK_PACKAGE_CONTACT "${ZAVIT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop toy: a swarm of sprites that follows the mouse")
set(CPACK_PACKAGE_DESCRIPTION
    "Zavit shows 32 copies of a small sprite on a white 320x240 window or on
the full screen. Thirty-one of them push each other apart and are drawn
toward the one under the mouse pointer; the window's edges turn them back.

It asks at start whether to run full screen, and quits when Escape is
released or the window is closed.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL 3 draws its Wayland windows' title bars through libdecor, whose plugin it only
# recommends: one that was left out when SDL came would leave zavit's window bare on GNOME.
# Cairo's draws them without starting GTK inside zavit; any other plugin does too.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libdecor-0-plugin-1-cairo | libdecor-0-plugin-1")
set(CPACK_STRIP_FILES ON)
# The package holds what "cmake --install" would put under the configured prefix, so the
# entry's paths are right: configure with -DCMAKE_INSTALL_PREFIX=/usr for a system package.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
include(CPack)
