# What `cmake --install` puts on a system besides the application (app/), and
# the Debian package made from it: `cpack -G DEB` in a build folder gives
# quilmarr_<version>_<arch>.deb.
include(GNUInstallDirs)
set(quilmarr_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quilmarr)

# Debian installs manual pages and changelogs compressed; -n keeps them reproducible.
function(quilmarr_install_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(output ${PROJECT_BINARY_DIR}/gzipped/${name}.gz)
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/gzipped)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${output} COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${output} DESTINATION ${destination} ${ARGN})
endfunction()

# The machine-readable copyright file (DEP-5): LICENSE's permission notice as
# the Expat licence text, one leading blank a line, "." for an empty line.
function(quilmarr_configure_copyright output)
  set(licence ${PROJECT_SOURCE_DIR}/LICENSE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${licence})
  file(READ ${licence} text)
  string(FIND "${text}" "Permission is hereby granted" start)
  if(start LESS 0)
    message(FATAL_ERROR "LICENSE does not hold the MIT (Expat) permission notice")
  endif()
  string(SUBSTRING "${text}" ${start} -1 text)
  string(STRIP "${text}" text)
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(quilmarr_licence_text " ${text}")
  configure_file(${PROJECT_SOURCE_DIR}/res/debian/copyright.in ${output} @ONLY)
endfunction()

if(QUILMARR_WITH_PCAP AND UNIX)
  install(TARGETS quilmarr-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  quilmarr_install_gzipped(${PROJECT_SOURCE_DIR}/docs/quilmarr-cli.1 ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(QUILMARR_WITH_GUI AND UNIX)
  quilmarr_install_gzipped(${PROJECT_SOURCE_DIR}/docs/quilmarr.1 ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(UNIX)
  quilmarr_configure_copyright(${PROJECT_BINARY_DIR}/copyright)
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${quilmarr_doc_dir})
  # A native package's changelog is changelog.gz.
  quilmarr_install_gzipped(${PROJECT_SOURCE_DIR}/res/debian/changelog ${quilmarr_doc_dir})
else()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${quilmarr_doc_dir} RENAME copyright)
endif()

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
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quilmarr authors <quilmarr@example.org>")
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
