#!/usr/bin/env bash
# Takes docs/windows-window.png: the Windows program's main window with
# simulated devices listed, under Wine in its virtual desktop on Xvfb.
# Usage: scripts/windows-screenshot.sh [output.png]
# QUILMARR_WINDOWS_APP_BUILD_DIR picks another build folder than build/windows-app.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
output="$(realpath -m "${1:-docs/windows-window.png}")"
build="${QUILMARR_WINDOWS_APP_BUILD_DIR:-$root/build/windows-app}"

for tool in x86_64-w64-mingw32-g++-posix wine xvfb-run; do
  command -v "$tool" >/dev/null 2>&1 || { scripts/setup.sh windows; break; }
done

cmake --preset windows-app -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)" --target window_screenshot

# A throw-away prefix outside the build folder, whose one prefix belongs to the
# tests: this one draws on a display (virtual desktop, Wine's fonts), theirs
# has none.
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/quilmarr-screenshot-wine.XXXXXX)
export WINEDEBUG=-all
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT

xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
  wine cmd /c exit >/dev/null 2>&1 || true
  # Wine'"'"'s virtual desktop draws the window frame and caption as Windows does.
  wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null
  wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 1024x768 /f >/dev/null
  # Wine'"'"'s own fonts (fonts-wine), from the prefix'"'"'s font folder where this
  # Wine finds them: Tahoma for "MS Shell Dlg", Marlett for the caption buttons.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  # The desktop is chosen when the prefix starts: start it again.
  wineserver -k || true
  wine "$1" "$(winepath -w "$2")"
  wineserver -w
' screenshot "$build/tests/win32/window_screenshot.exe" "$output"
echo "Saved $output"
