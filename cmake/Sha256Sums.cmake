# cmake -DFOLDER=<folder> -P Sha256Sums.cmake
# Writes <folder>/SHA256SUMS in sha256sum's format ("<hash>  <path>", paths
# relative to the folder, "/" between folders), one line for every other file.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${FOLDER}" "${FOLDER}/*")
list(REMOVE_ITEM files SHA256SUMS)
list(SORT files)
set(sums "")
foreach(file IN LISTS files)
  file(SHA256 "${FOLDER}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
file(WRITE "${FOLDER}/SHA256SUMS" "${sums}")
