#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with mingw-w64 (preset
# windows-app) and runs them under Wine (ctest label "windows"); then runs the
# Windows quilmarr-cli.exe under Wine against the Linux build and live on veth
# pairs in network namespaces, and the Windows window end to end on such a
# pair with the Windows stand-in updater (needs root; those tests skip
# otherwise).
# Usage: scripts/test-windows.sh [ctest arguments...]
# QUILMARR_WINDOWS_BUILD_DIR picks another build folder than build/windows-app.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || ! command -v wine >/dev/null 2>&1 ||
   ! command -v makensis >/dev/null 2>&1; then
  scripts/setup.sh windows
fi

build="${QUILMARR_WINDOWS_BUILD_DIR:-build/windows-app}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

cmake --preset windows-app -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)"
# The Linux side of the tests under Wine: ied-sim, the Linux quilmarr-cli to
# compare with, and the test program itself.
[ -f build/default/CMakeCache.txt ] || cmake --preset default >/dev/null
cmake --build build/default -j "$(nproc)" --target wine_capture_test wine_dialog_test ied-sim quilmarr-cli

# The build folder's one Wine prefix, kept between runs, where the preset
# windows-app puts it (<build folder>/wine); windows are created without a
# display through Wine's null graphics driver.
export WINEDEBUG=-all
export WINEPREFIX="$build/wine"
if [ ! -f "$WINEPREFIX/.quilmarr-ready" ]; then
  rm -rf "$WINEPREFIX"
  wine cmd /c exit >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.quilmarr-ready"
fi
# One persistent server for the whole run instead of one per test program.
# Its helper services start here, with their output on /dev/null: started by
# the first test they would hold CTest's output pipe open and stall the run.
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

status=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" -L windows "$@" || status=$?
# One at a time: they make network namespaces and restart the prefix's services.
QUILMARR_WINDOWS_CLI="$build/tools/cli/quilmarr-cli.exe" \
QUILMARR_WINDOWS_DIALOG_DRIVER="$build/tests/win32/win32_live_driver.exe" \
QUILMARR_WINDOWS_UPDATER="$build/updater-standin/Pendravel.exe" \
  ctest --test-dir build/default --output-on-failure -L windows "$@" || status=$?
exit "$status"
