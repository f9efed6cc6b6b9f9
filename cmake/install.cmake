# Install rules and packaging: the program, its image in the data folder where the
# desktop entry starts it, the entry, its icons, and a Debian package of all of them.
include(GNUInstallDirs)

# The program reads zavit.bmp from its working directory: the entry starts it in the
# installed data folder, so the entry is made for the prefix being installed to.
set(ZAVIT_DATA_PATH "${CMAKE_INSTALL_FULL_DATADIR}/zavit")
configure_file(assets/zavit.desktop ${CMAKE_CURRENT_BINARY_DIR}/zavit.desktop @ONLY)

install(TARGETS zavit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES assets/zavit.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/zavit)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zavit.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Icons made from the sprite by assets/make-icons.
foreach(size 16 48)
  install(FILES assets/zavit-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zavit.png)
endforeach()

# A Debian package; dpkg-shlibdeps finds the runtime libraries the program links to.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zavit)
set(CPACK_PACKAGE_VENDOR "zavit maintainers")
set(CPACK_PACKAGE_CONTACT "zavit maintainers <maintainers@users.noreply.c-seed-b1588c86.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Thirty-two copies of a small sprite on a white 320x240 window: thirty-one drift apart\n\
and are drawn toward the one under the mouse. Asks at start whether to run full screen.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The package holds what "cmake --install" would put under the configured prefix, so the
# entry's Path is right: configure with -DCMAKE_INSTALL_PREFIX=/usr for a system package.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
include(CPack)
