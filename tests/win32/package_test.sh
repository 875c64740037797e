#!/usr/bin/env bash
# The Windows package: the zip holds the programs, the notes, the version,
# the licences and SHA256SUMS, which verifies every other file; the programs
# import only system DLLs; the installer carries the version record, puts the
# files in place silently and its uninstaller takes them all away again.
# Usage: package_test.sh <package folder> <version> <objdump> <source folder>
# Runs under the Wine prefix of $WINEPREFIX.
set -euo pipefail
folder=$1 version=$2 objdump=$3 source=$4
name="quilmarr-$version-win64"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

listing=$(cmake -E tar tf "$folder/$name.zip")
expected=(quilmarr.exe quilmarr-cli.exe README-Windows.txt VERSION.txt SHA256SUMS
          licenses/mingw-w64-runtime.txt
          licenses/gcc-runtime.txt licenses/GPL-3.txt licenses/utfcpp.txt licenses/CLI11.txt)
[ -f "$source/LICENSE" ] && expected+=(LICENSE.txt)
for file in "${expected[@]}"; do
  grep -qx "$name/$file" <<<"$listing" || fail "$file missing from the zip"
done
grep -q $'^Quilmarr '"$version"$' for Windows\r$' "$folder/$name/README-Windows.txt" ||
  fail "README-Windows.txt lacks its title line"
grep -q 'Npcap (https://npcap.com/#download)' "$folder/$name/README-Windows.txt" ||
  fail "README-Windows.txt lacks the Npcap address"

# sums FOLDER: SHA256SUMS lists every other file of FOLDER, and they verify.
sums() {
  diff <(cd "$1" && find . -type f ! -name SHA256SUMS ! -name Uninstall.exe | cut -c3- | sort) \
    <(cut -c67- "$1/SHA256SUMS" | sort) >&2 || fail "SHA256SUMS does not list every file of $1"
  (cd "$1" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not verify in $1"
}
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$folder/$name.zip")
sums "$unpacked/$name"
[ "$(tr -d '\r' <"$unpacked/$name/VERSION.txt")" = "$version" ] ||
  fail "VERSION.txt does not hold $version"

# Programs linked statically: system DLLs only.
system='^(ADVAPI32|COMCTL32|COMDLG32|GDI32|IPHLPAPI|KERNEL32|msvcrt|ole32|OLEAUT32|SHELL32|USER32|USERENV|WS2_32|bcrypt|api-ms-win-[a-z0-9-]+)\.dll$'
for program in quilmarr.exe quilmarr-cli.exe; do
  while read -r dll; do
    grep -qiE "$system" <<<"$dll" || fail "$program imports $dll"
  done < <("$objdump" -p "$folder/$name/$program" | sed -n 's/^\tDLL Name: //p')
done

installer="$folder/$name-setup.exe"
if [ -f "$installer" ]; then
  target="C:\\quilmarr-package-test-$$"
  unix_target="$WINEPREFIX/drive_c/quilmarr-package-test-$$"
  # The version record (VIAddVersionKey) as its UTF-16 strings.
  record=$(strings -el "$installer" | grep -A1 -x ProductVersion || true)
  grep -qx "$version" <<<"$record" || fail "the installer's version record lacks ProductVersion $version"
  wine "$installer" /S "/D=$target"
  [ -f "$unix_target/Uninstall.exe" ] || fail "the installer did not install Uninstall.exe"
  sums "$unix_target"
  # In place (_?=), so it waits and cannot remove itself.
  wine "$unix_target/Uninstall.exe" /S "_?=$target"
  left=$(cd "$unix_target" && ls -A | grep -vx Uninstall.exe || true)
  [ -z "$left" ] || fail "the uninstaller left" $left
  rm -rf "$unix_target"
fi

[ "$failures" -eq 0 ] && echo "package checks passed"
exit "$failures"
