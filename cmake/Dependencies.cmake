find_package(Threads REQUIRED)

# utfcpp is header-only; Debian installs it under /usr/include/utf8cpp.
find_path(UTFCPP_INCLUDE_DIR NAMES utf8.h PATH_SUFFIXES utf8cpp
  PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(utfcpp INTERFACE)
target_include_directories(utfcpp SYSTEM INTERFACE ${UTFCPP_INCLUDE_DIR})

# SHA-256 of packages and updaters: libcrypto on Linux; Windows has CNG (bcrypt).
# The sleep inhibitor: logind over the system bus through libdbus on Linux;
# Windows has SetThreadExecutionState.
if(NOT WIN32)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(DBUS REQUIRED IMPORTED_TARGET dbus-1)
endif()

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

if(QUILMARR_WITH_PCAP AND WIN32)
  # wpcap.dll is loaded at run time, so only libpcap's API declarations are
  # needed, no import library.
  if(CMAKE_CROSSCOMPILING)
    # A private copy of the build machine's headers, which compile for Windows.
    find_path(LIBPCAP_HEADERS_DIR NAMES pcap/pcap.h PATHS /usr/include
      NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(QUILMARR_WPCAP_INCLUDE_DIR ${PROJECT_BINARY_DIR}/wpcap-include)
    file(COPY ${LIBPCAP_HEADERS_DIR}/pcap ${LIBPCAP_HEADERS_DIR}/pcap.h
      DESTINATION ${QUILMARR_WPCAP_INCLUDE_DIR})
  else()
    # The Npcap SDK's Include folder.
    find_path(QUILMARR_WPCAP_INCLUDE_DIR NAMES pcap/pcap.h PATHS C:/npcap-sdk/Include REQUIRED)
  endif()
  add_library(wpcap_headers INTERFACE)
  target_include_directories(wpcap_headers SYSTEM INTERFACE ${QUILMARR_WPCAP_INCLUDE_DIR})
elseif(QUILMARR_WITH_PCAP)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(PCAP REQUIRED IMPORTED_TARGET libpcap)
endif()
if(QUILMARR_WITH_PCAP)
  find_path(CLI11_INCLUDE_DIR NAMES CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  if(CMAKE_CROSSCOMPILING)
    # Header-only: the build machine's copy serves the cross-build too, from a
    # folder of its own (the rest of /usr/include must stay out of its way).
    file(COPY ${CLI11_INCLUDE_DIR}/CLI DESTINATION ${PROJECT_BINARY_DIR}/cli11-include)
    set(CLI11_INCLUDE_DIR ${PROJECT_BINARY_DIR}/cli11-include)
  endif()
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
