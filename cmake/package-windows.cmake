# The Windows zip: the program with SDL's library, its image, the README and the licence in
# one folder, where double-clicking zavit.exe starts it beside its image. ZAVIT_SDL_PREFIX
# comes from the toolchain file, cmake/mingw-w64.cmake.

install(TARGETS zavit RUNTIME DESTINATION .)
install(FILES ${ZAVIT_SDL_PREFIX}/bin/SDL.dll assets/zavit.bmp DESTINATION .)
# A short plain-text README for Windows, with Windows' line ends.
configure_file(assets/README-windows.txt ${CMAKE_CURRENT_BINARY_DIR}/README.txt @ONLY
               NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt DESTINATION .)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${ZAVIT_SDL_PREFIX}/COPYING DESTINATION . RENAME SDL-LICENSE.txt)
# Tests and a double-click in the build folder find SDL's library beside the program too.
configure_file(${ZAVIT_SDL_PREFIX}/bin/SDL.dll ${CMAKE_CURRENT_BINARY_DIR}/SDL.dll COPYONLY)

# The zip's entries in name order with the changelog's time, whatever order the disk gave.
find_program(ZAVIT_STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/zip-order.cmake
     "execute_process(COMMAND \"${ZAVIT_STRIP_NONDETERMINISM}\" --timestamp
                             ${ZAVIT_SOURCE_DATE_EPOCH} \${CPACK_PACKAGE_FILES}
                     COMMAND_ERROR_IS_FATAL ANY)\n")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_BINARY_DIR}/zip-order.cmake)

set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME "zavit-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
