# Installed files and the Debian package.
#
# `cmake --install` lays the editor out as a desktop expects it: the program, its menu entry,
# its icon, the AppStream metadata and the .qc MIME type. CPack turns the same layout into a
# Debian package; dpkg's triggers then refresh the MIME, menu and icon caches.

include(GNUInstallDirs)

set(VARDO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${VARDO_PACKAGING_DIR}/vardo.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VARDO_PACKAGING_DIR}/vardo.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${VARDO_PACKAGING_DIR}/vardo.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${VARDO_PACKAGING_DIR}/vardo.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VARDO_PACKAGING_DIR}/vardo-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
  RENAME vardo.xml)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vardo)
set(CPACK_PACKAGE_VENDOR "Vardo team")
set(CPACK_PACKAGE_CONTACT "Vardo team <vardo@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for QuakeC source files")
# Each line becomes a line of the package's long description, which Debian wants short.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Vardo edits the QuakeC sources of the game Quake without open and save"
  "dialogs: pick a directory, click a .qc file to preview it, double-click it"
  "to edit it, and the file edited before is saved safely. It has an index of"
  "the function definitions, a second pane for any other text file, a button"
  "that compiles the mod and lists the compiler's errors, each one"
  "double-click from its line, and a built-in reference of the game's"
  "console and of QuakeC.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME vardo)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vardo team <vardo@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# The Qt platform plugins and the fonts the window asks for are not linked, so no tool can
# find them: they are always named here.
set(VARDO_DEB_DEPENDS
  qt6-qpa-plugins fonts-wine fonts-comic-neue fonts-liberation2 fonts-dejavu-core)
find_program(VARDO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VARDO_DPKG_SHLIBDEPS)
  # Qt and the C++ runtime, with the versions the binary was built against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  list(PREPEND VARDO_DEB_DEPENDS libqt6widgets6 libqt6gui6 libqt6core6 libstdc++6 libc6)
endif()
list(JOIN VARDO_DEB_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# "QCC!" runs a QuakeC compiler; Debian packages this one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fteqcc)

include(CPack)
