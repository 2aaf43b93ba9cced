# One Debian package (cpack -G DEB in the build folder): the program with its
# catalogs, the converter library over the kernel's ttys in lib/brisquell,
# the desktop entry, icon and metainfo, and the files every Debian package
# carries. Its dependencies come from dpkg-shlibdeps.
set(BRISQUELL_DOC share/doc/brisquell)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/debian/copyright DESTINATION ${BRISQUELL_DOC})
# Debian wants the changelog and the manual page compressed without a time
# stamp (gzip -n).
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog > ${changelog}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog VERBATIM)
set(manual ${CMAKE_CURRENT_BINARY_DIR}/brisquell.1.gz)
add_custom_command(OUTPUT ${manual}
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/debian/brisquell.1 > ${manual}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debian/brisquell.1 VERBATIM)
add_custom_target(debian_docs ALL DEPENDS ${changelog} ${manual})
install(FILES ${changelog} DESTINATION ${BRISQUELL_DOC})
install(FILES ${manual} DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisquell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kalvex Messtechnik")
set(CPACK_PACKAGE_CONTACT "Kalvex Messtechnik <post@kalvex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "collects gauge readings into a text document")
# The summary above is the first line; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brisquell listens to hand-held gauges (calipers, micrometers, dial
indicators) on a serial port, an infrared link or a USB converter and
writes every reading at the caret of a plain-text document.
.
USB converters work through the kernel's ftdi_sio driver: membership of
the dialout group is all they need.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.kalvex.example/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Typing readings into other programs on X11 loads Xlib and XTEST at run
# time, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libx11-6, libxtst6")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
