# What `cmake --install` puts on a system besides the application (app/), and
# the Debian package made from it: `cpack -G DEB` in a build folder gives
# quilmarr_<version>_<arch>.deb.
include(GNUInstallDirs)

if(QUILMARR_WITH_PCAP AND UNIX)
  install(TARGETS quilmarr-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Debian installs manual pages compressed; -n keeps the file reproducible.
  set(quilmarr_man_source ${PROJECT_SOURCE_DIR}/docs/quilmarr-cli.1)
  set(quilmarr_man_page ${PROJECT_BINARY_DIR}/quilmarr-cli.1.gz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${quilmarr_man_source})
  execute_process(COMMAND gzip -9nc ${quilmarr_man_source}
    OUTPUT_FILE ${quilmarr_man_page} COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${quilmarr_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quilmarr RENAME copyright)

set(CPACK_PACKAGE_NAME quilmarr)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quilmarr authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch firmware updates for field devices found by LLDP")
set(CPACK_PACKAGE_DESCRIPTION "\
Quilmarr listens passively on one Ethernet segment for the LLDP frames
(IEEE 802.1AB) that field devices (IEDs) send, shows the devices heard in
the last 6 seconds with their firmware versions, and runs the maker's
single-device updater once per ticked device, one after another.
quilmarr-cli decodes saved captures and reads the shared settings file.
Only root and members of the group quilmarr may run the two programs,
which hold the capabilities a live capture needs.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quilmarr authors")
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Libraries come from dpkg-shlibdeps; postinst needs setcap and groupadd.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, passwd")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/res/debian/postinst ${PROJECT_SOURCE_DIR}/res/debian/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
