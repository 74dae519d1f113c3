# Installing as a Linux desktop program, into the prefix the user gives (cmake --install BUILD
# --prefix PREFIX):
#   bin/quorvella, bin/quorvella-cli
#   share/quorvella/HAND-M.CUR and share/quorvella/Samples (the program finds them from bin/ as
#     ../share/quorvella, shell::ResourceFolder)
#   share/applications/example.kestrune.Quorvella.desktop, share/metainfo/...metainfo.xml
#   share/icons/hicolor/{48x48,256x256}/apps/example.kestrune.Quorvella.png
#   share/man/man1/quorvella-cli.1
# and `cpack` in the build folder makes a .deb with its dependencies declared.
include(GNUInstallDirs)

set(QV_APP_ID "example.kestrune.Quorvella")
set(QV_DATA_DIR "${CMAKE_INSTALL_DATADIR}/quorvella")

if(TARGET quorvella)
  install(TARGETS quorvella RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${CMAKE_BINARY_DIR}/bin/HAND-M.CUR" DESTINATION ${QV_DATA_DIR})
  install(DIRECTORY "${CMAKE_BINARY_DIR}/bin/Samples/" DESTINATION "${QV_DATA_DIR}/Samples"
          FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
          PATTERN ".made" EXCLUDE)
  install(FILES "${CMAKE_SOURCE_DIR}/dist/${QV_APP_ID}.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES "${CMAKE_SOURCE_DIR}/dist/${QV_APP_ID}.metainfo.xml" DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 48 256)
    install(FILES "${CMAKE_BINARY_DIR}/bin/quorvella-${size}.png"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${QV_APP_ID}.png)
  endforeach()
endif()
if(TARGET quorvella-cli)
  install(TARGETS quorvella-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${CMAKE_SOURCE_DIR}/dist/quorvella-cli.1" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Debian package. dpkg-shlibdeps declares the libraries the programs link (Qt 6 Core, Gui
# and Widgets, libcrypto, the C++ runtime; Debian's libqt6gui6 carries the xcb and offscreen
# platform plugins); the pages also ask for Arial, which Liberation Sans stands in for.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quorvella")
set(CPACK_PACKAGE_VENDOR "Kestrune")
set(CPACK_PACKAGE_CONTACT "Kestrune <support@kestrune.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Moves whole tables between Access databases and Paradox tables")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvella moves whole tables between a Microsoft Access database (.mdb or .accdb) and a folder\n of Paradox tables, in a window or from the command line (quorvella-cli).")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "/usr")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.kestrune.example/quorvella")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_STRIP_FILES ON)
include(CPack)
