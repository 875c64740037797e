#!/usr/bin/env bash
# Installs what Quilmarr needs to build and test on Debian 12. Safe to run again:
# only packages that are missing are installed.
# Usage: scripts/setup.sh [core|gui|windows|package|all]   (default: all)
set -euo pipefail

# ansible-core runs the Ansible play of docs/fleet.md in its test; clang-format
# checks the sources' formatting (scripts/check-format.sh); dbus and
# python3-dbusmock give the sleep inhibitor's test a logind on a private bus.
core=(build-essential cmake ninja-build pkg-config libpcap-dev libutfcpp-dev libcli11-dev libssl-dev
      libdbus-1-dev googletest libgtest-dev libgmock-dev libbenchmark-dev iproute2 tcpdump python3
      clang-14 libclang-rt-14-dev ansible-core clang-format dbus python3-dbusmock)
gui=(qt6-base-dev qt6-svg-dev libgl-dev xvfb xauth fonts-dejavu-core)
# The Windows programs: cross-compilers, Wine; Xvfb and Wine's fonts for the
# window's screenshot; makensis for the installer.
windows=(g++-mingw-w64-x86-64 wine64 wine xvfb xauth fonts-wine nsis)
# The Debian package: dpkg-shlibdeps, file (used by CPack), setcap/getcap, groff,
# lintian (Debian's package checker).
package=(dpkg-dev file libcap2-bin groff-base lintian)

case "${1:-all}" in
  core) wanted=("${core[@]}") ;;
  gui) wanted=("${core[@]}" "${gui[@]}") ;;
  windows) wanted=("${core[@]}" "${windows[@]}") ;;
  package) wanted=("${core[@]}" "${gui[@]}" "${package[@]}") ;;
  all) wanted=("${core[@]}" "${gui[@]}" "${windows[@]}" "${package[@]}") ;;
  *) echo "usage: $0 [core|gui|windows|package|all]" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
