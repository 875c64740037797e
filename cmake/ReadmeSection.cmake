# cmake -DREADME=<README.md> -DSECTION=<heading> -DOUTPUT=<file.txt> -P ReadmeSection.cmake
# Writes one "## <heading>" section of the README as plain text with Windows
# line ends: pictures left out, links written as "text (address)", code
# marks dropped.
file(READ "${README}" readme)
string(FIND "${readme}" "\n## ${SECTION}\n" start)
if(start LESS 0)
  message(FATAL_ERROR "README has no section \"${SECTION}\"")
endif()
math(EXPR start "${start} + 1")
string(SUBSTRING "${readme}" ${start} -1 section)
string(FIND "${section}" "\n## " end)
if(end GREATER 0)
  string(SUBSTRING "${section}" 0 ${end} section)
endif()
string(REGEX REPLACE "\n!\\[[^]]*\\]\\([^)]*\\)\n" "\n" section "${section}")
string(REGEX REPLACE "\\[([^]]*)\\]\\(([^)]*)\\)" "\\1 (\\2)" section "${section}")
string(REPLACE "`" "" section "${section}")
string(REGEX REPLACE "^## " "" section "${section}")
string(REGEX REPLACE "\n\n\n+" "\n\n" section "${section}")
string(STRIP "${section}" section)
string(REPLACE "\n" "\r\n" section "Quilmarr ${VERSION} for ${section}\n")
file(WRITE "${OUTPUT}" "${section}")
