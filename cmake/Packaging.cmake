# Installation and the Debian package (`make package`): the four programs,
# their man pages, the systemd unit of the headless driver, the desktop and
# autostart entries and the maintainer scripts that create the driver's user
# and folders.
include(GNUInstallDirs)

set(TAVOR1_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS tavor1 tavor1-regsim tavor1-paysim tavor1-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages and the changelog carry the version, and Debian wants them
# compressed with gzip -9n.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed "")
foreach(page tavor1.1 tavor1-regsim.1 tavor1-paysim.1 tavor1-host.1 debian/changelog)
  get_filename_component(name ${page} NAME)
  configure_file(${TAVOR1_PACKAGING_DIR}/${page} ${generated}/${name} @ONLY)
  add_custom_command(OUTPUT ${generated}/${name}.gz
    COMMAND ${GZIP_EXECUTABLE} -9nf -k ${generated}/${name}
    DEPENDS ${generated}/${name} VERBATIM)
  list(APPEND compressed ${generated}/${name}.gz)
endforeach()
add_custom_target(tavor1_packaging_files ALL DEPENDS ${compressed})

install(FILES ${generated}/tavor1.1.gz ${generated}/tavor1-regsim.1.gz ${generated}/tavor1-paysim.1.gz
              ${generated}/tavor1-host.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TAVOR1_PACKAGING_DIR}/tavor1.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TAVOR1_PACKAGING_DIR}/tavor1.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TAVOR1_PACKAGING_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# A native package: its changelog is changelog.gz.
install(FILES ${generated}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Absolute: the unit and the autostart entry live outside the prefix. The
# unit names the installed program and folders.
configure_file(${TAVOR1_PACKAGING_DIR}/tavor1.service.in ${generated}/tavor1.service @ONLY)
install(FILES ${generated}/tavor1.service DESTINATION /lib/systemd/system)
install(FILES ${TAVOR1_PACKAGING_DIR}/tavor1-autostart.desktop RENAME tavor1.desktop
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavor1)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "tavor1 maintainers <tavor1@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fiscal printing driver for networked Italian fiscal registers")
set(CPACK_PACKAGE_DESCRIPTION
  "A sales program writes a request and a go signal into a data directory;\n tavor1 prints the document on a networked fiscal register (Custom Kube and\n compatible), optionally takes a card payment first, and answers with result\n files. Runs as a systemd service or in the desktop tray.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${TAVOR1_PACKAGING_DIR}/debian/postinst ${TAVOR1_PACKAGING_DIR}/debian/prerm ${TAVOR1_PACKAGING_DIR}/debian/postrm
  ${TAVOR1_PACKAGING_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The unit and the autostart entry are installed outside the prefix on purpose.
set(CPACK_WARN_ON_ABSOLUTE_INSTALL_DESTINATION OFF)
include(CPack)
