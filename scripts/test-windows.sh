#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 (preset windows-app: the
# core, the capture layer on wpcap.dll, the tools, quilmarr.exe and the
# package) and runs the tests labelled "windows" under Wine.
# Usage: scripts/test-windows.sh [ctest arguments...]
# QUILMARR_WINDOWS_BUILD_DIR picks another build folder than build/windows-app.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build_dir="${QUILMARR_WINDOWS_BUILD_DIR:-$root/build/windows-app}"

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1 ||
   ! command -v makensis >/dev/null 2>&1; then
  scripts/setup.sh windows
fi

export WINEDEBUG=-all
# --- Wine prefix: one of the build's own, never the user's; windows without a
# display, on Wine's null graphics driver (the window's tests need no X server).
export WINEPREFIX="$build_dir/wine"
mkdir -p "$build_dir"
# The first start of Wine creates its prefix; do it once here, so no test's
# discovery or time-out pays for it.
wine cmd /c exit >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
# --- end of the prefix block.

# One persistent server for the whole run instead of one per test program.
# Its helper services start here, with their output on /dev/null: started by
# the first test they would hold CTest's output pipe open and stall the run.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

cmake --preset windows-app -B "$build_dir"
cmake --build "$build_dir" -j 2
ctest --test-dir "$build_dir" --output-on-failure -j 2 -L windows "$@"
