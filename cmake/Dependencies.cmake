find_package(Threads REQUIRED)

# utfcpp is header-only; Debian installs it under /usr/include/utf8cpp.
find_path(UTFCPP_INCLUDE_DIR NAMES utf8.h PATH_SUFFIXES utf8cpp
  PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(utfcpp INTERFACE)
target_include_directories(utfcpp SYSTEM INTERFACE ${UTFCPP_INCLUDE_DIR})

if(QUILMARR_BUILD_TESTS AND CMAKE_CROSSCOMPILING)
  # Debian ships GoogleTest as sources; build them with the cross compiler.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest 1.11 and later define these names themselves.
  foreach(lib gtest gtest_main gmock)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
elseif(QUILMARR_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()

if(QUILMARR_WITH_PCAP)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(PCAP REQUIRED IMPORTED_TARGET libpcap)
  find_path(CLI11_INCLUDE_DIR NAMES CLI/CLI.hpp REQUIRED)
  add_library(cli11 INTERFACE)
  target_include_directories(cli11 SYSTEM INTERFACE ${CLI11_INCLUDE_DIR})
endif()
if(QUILMARR_WITH_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  if(QUILMARR_BUILD_TESTS)
    find_package(Qt6 REQUIRED COMPONENTS Test)
  endif()
endif()
if(QUILMARR_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
