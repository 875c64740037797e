# Warnings and sanitizers live on INTERFACE targets that every target links PRIVATE.
add_library(quilmarr_options INTERFACE)
if(MSVC)
  target_compile_options(quilmarr_options INTERFACE /W4 $<$<BOOL:${QUILMARR_WARNINGS_AS_ERRORS}>:/WX>)
else()
  target_compile_options(quilmarr_options INTERFACE
    -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Wpedantic
    $<$<BOOL:${QUILMARR_WARNINGS_AS_ERRORS}>:-Werror>)
endif()
# GCC 12 reports false -Wrestrict overlaps inside std::string at -O2/-O3
# (GCC bug 105651); keep the warning, but not as an error.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quilmarr_options INTERFACE -Wno-error=restrict)
endif()
if(WIN32)
  target_compile_definitions(quilmarr_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

if(QUILMARR_SANITIZE)
  target_compile_options(quilmarr_options INTERFACE
    -fsanitize=${QUILMARR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(quilmarr_options INTERFACE -fsanitize=${QUILMARR_SANITIZE})
endif()

# quilmarr_add_library(name SOURCES...) : a layer target with the project's options.
function(quilmarr_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE quilmarr_options)
endfunction()
