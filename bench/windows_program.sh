#!/bin/bash
# The Windows program's figures: the size of quilmarr.exe as packaged
# (stripped) and as built, the DLLs it imports, and its start-up under Wine:
# startup_probe.exe launches it RUNS times and times each launch to the shown
# main window; the median closes the list. Uses the build's own Wine prefix
# (made by scripts/test-windows.sh) with one warm server, as the tests do.
#
#   bench/windows_program.sh [BUILD_DIR] [RUNS]     (default build/windows-app, 11)
set -euo pipefail

build=$(realpath "${1:-build/windows-app}")
runs=${2:-11}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
packaged=$build/package/quilmarr-$version-win64/quilmarr.exe
probe=$build/tests/win32/startup_probe.exe
for file in "$packaged" "$build/app/win32/quilmarr.exe" "$probe"; do
  [ -f "$file" ] || { echo "missing $file: build the preset windows-app first" >&2; exit 2; }
done

printf 'size_packaged_bytes\t%s\n' "$(stat -c %s "$packaged")"
printf 'size_built_bytes\t%s\n' "$(stat -c %s "$build/app/win32/quilmarr.exe")"
printf 'imports\t%s\n' "$(x86_64-w64-mingw32-objdump -p "$packaged" |
  sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')"

export WINEDEBUG=-all WINEPREFIX=$build/wine
[ -f "$WINEPREFIX/.quilmarr-ready" ] || { echo "no prefix: run scripts/test-windows.sh" >&2; exit 2; }
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

times=()
for run in $(seq "$runs"); do
  shown=$(wine "$probe" "$packaged" "Quilmarr $version" 2>/dev/null |
    tr -d '\r' | sed -n 's/^window shown after \([0-9]*\) ms$/\1/p')
  [ -n "$shown" ] || { echo "run $run: no window" >&2; exit 1; }
  printf 'run %s\tshown_after_ms\t%s\n' "$run" "$shown"
  times+=("$shown")
done
printf 'median_shown_after_ms\t%s\n' \
  "$(printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END {
     print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }')"
