#!/usr/bin/env bash
# Cross-builds the Qt-free core and its tests for 64-bit Windows with mingw-w64
# and runs them under Wine (ctest label "windows").
# Usage: scripts/test-windows.sh [ctest arguments...]
# QUILMARR_WINDOWS_BUILD_DIR picks another build folder than build/windows.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1; then
  scripts/setup.sh windows
fi

export WINEDEBUG=-all
# The first start of Wine creates its prefix; do it once here, so no test's
# discovery or time-out pays for it.
wine cmd /c exit >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
# One persistent server for the whole run instead of one per test program.
# Its helper services start here, with their output on /dev/null: started by
# the first test they would hold CTest's output pipe open and stall the run.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

if [ -n "${QUILMARR_WINDOWS_BUILD_DIR:-}" ]; then
  cmake --preset windows -B "$QUILMARR_WINDOWS_BUILD_DIR"
  cmake --build "$QUILMARR_WINDOWS_BUILD_DIR" -j 2
  ctest --test-dir "$QUILMARR_WINDOWS_BUILD_DIR" --output-on-failure -j 2 -L windows "$@"
else
  cmake --preset windows
  cmake --build --preset windows -j 2
  ctest --preset windows -j 2 -L windows "$@"
fi
