# The Windows package, quilmarr-<version>-win64.zip: the two programs, the
# README's Windows section as text, the product version in VERSION.txt, the
# licences: the project's, and those of what is linked statically into the
# programs (the mingw-w64 runtime and winpthreads, GCC's runtime libraries,
# utfcpp, CLI11), from the build machine's Debian copyright files; and
# SHA256SUMS over all of them, for sha256sum -c. With makensis, also an
# installer, which installs the same files.
#   cmake --build <dir> --target windows_package
set(quilmarr_package_name quilmarr-${PROJECT_VERSION}-win64)
set(quilmarr_package_root ${CMAKE_BINARY_DIR}/package)
set(quilmarr_package_stage ${quilmarr_package_root}/${quilmarr_package_name})
set(quilmarr_package_zip ${quilmarr_package_root}/${quilmarr_package_name}.zip)

# Licence file in the package <- where it comes from.
set(quilmarr_licences
  "licenses/mingw-w64-runtime.txt=/usr/share/doc/mingw-w64-common/copyright"
  "licenses/gcc-runtime.txt=/usr/share/doc/gcc-mingw-w64-base/copyright"
  "licenses/GPL-3.txt=/usr/share/common-licenses/GPL-3"
  "licenses/utfcpp.txt=/usr/share/doc/libutfcpp-dev/copyright"
  "licenses/CLI11.txt=/usr/share/doc/libcli11-dev/copyright")
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  list(PREPEND quilmarr_licences "LICENSE.txt=${PROJECT_SOURCE_DIR}/LICENSE")
endif()

set(quilmarr_copy_licences "")
foreach(entry IN LISTS quilmarr_licences)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 target)
  list(GET pair 1 source)
  list(APPEND quilmarr_copy_licences
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${quilmarr_package_stage}/${target})
endforeach()

# The product version, from its one home: the project version.
set(quilmarr_version_file ${quilmarr_package_root}/VERSION.txt)
file(CONFIGURE OUTPUT ${quilmarr_version_file} CONTENT "@PROJECT_VERSION@\n"
  NEWLINE_STYLE CRLF @ONLY)

find_program(QUILMARR_STRIP NAMES ${CMAKE_STRIP} x86_64-w64-mingw32-strip)
add_custom_command(OUTPUT ${quilmarr_package_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${quilmarr_package_stage} ${quilmarr_package_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${quilmarr_package_stage}/licenses
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quilmarr> $<TARGET_FILE:quilmarr-cli>
          ${quilmarr_package_stage}
  COMMAND ${QUILMARR_STRIP} --strip-all ${quilmarr_package_stage}/$<TARGET_FILE_NAME:quilmarr>
          ${quilmarr_package_stage}/$<TARGET_FILE_NAME:quilmarr-cli>
  COMMAND ${CMAKE_COMMAND} -DREADME=${PROJECT_SOURCE_DIR}/README.md -DSECTION=Windows
          -DVERSION=${PROJECT_VERSION} -DOUTPUT=${quilmarr_package_stage}/README-Windows.txt
          -P ${PROJECT_SOURCE_DIR}/cmake/ReadmeSection.cmake
  ${quilmarr_copy_licences}
  COMMAND ${CMAKE_COMMAND} -E copy ${quilmarr_version_file} ${quilmarr_package_stage}
  COMMAND ${CMAKE_COMMAND} -DFOLDER=${quilmarr_package_stage}
          -P ${PROJECT_SOURCE_DIR}/cmake/Sha256Sums.cmake
  COMMAND ${CMAKE_COMMAND} -E chdir ${quilmarr_package_root}
          ${CMAKE_COMMAND} -E tar cf ${quilmarr_package_zip} --format=zip ${quilmarr_package_name}
  DEPENDS quilmarr quilmarr-cli ${PROJECT_SOURCE_DIR}/README.md
          ${PROJECT_SOURCE_DIR}/cmake/ReadmeSection.cmake ${quilmarr_version_file}
          ${PROJECT_SOURCE_DIR}/cmake/Sha256Sums.cmake
  COMMENT "Packaging ${quilmarr_package_name}.zip"
  VERBATIM)
set(quilmarr_package_outputs ${quilmarr_package_zip})

# The installer offers Npcap's download page when Npcap is missing.
find_program(QUILMARR_MAKENSIS makensis)
if(QUILMARR_MAKENSIS)
  set(quilmarr_installer ${quilmarr_package_root}/quilmarr-${PROJECT_VERSION}-win64-setup.exe)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows-installer.nsi.in
    ${CMAKE_BINARY_DIR}/windows-installer.nsi @ONLY)
  add_custom_command(OUTPUT ${quilmarr_installer}
    COMMAND ${QUILMARR_MAKENSIS} -V2 -NOCD ${CMAKE_BINARY_DIR}/windows-installer.nsi
    DEPENDS ${quilmarr_package_zip} ${CMAKE_BINARY_DIR}/windows-installer.nsi
    WORKING_DIRECTORY ${quilmarr_package_root}
    COMMENT "Building the installer"
    VERBATIM)
  list(APPEND quilmarr_package_outputs ${quilmarr_installer})
endif()
# Part of every build: the package is small and quick to make.
add_custom_target(windows_package ALL DEPENDS ${quilmarr_package_outputs})
