#!/usr/bin/env bash
# The Windows package: the zip holds the programs, the notes and the
# licences; the programs import only system DLLs; the installer puts the
# files in place silently and its uninstaller takes them away again.
# Usage: package_test.sh <package folder> <version> <objdump> <source folder>
# Runs under the Wine prefix of $WINEPREFIX.
set -euo pipefail
folder=$1 version=$2 objdump=$3 source=$4
name="quilmarr-$version-win64"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

listing=$(cmake -E tar tf "$folder/$name.zip")
expected=(quilmarr.exe quilmarr-cli.exe README-Windows.txt licenses/mingw-w64-runtime.txt
          licenses/gcc-runtime.txt licenses/GPL-3.txt licenses/utfcpp.txt licenses/CLI11.txt)
[ -f "$source/LICENSE" ] && expected+=(LICENSE.txt)
for file in "${expected[@]}"; do
  grep -qx "$name/$file" <<<"$listing" || fail "$file missing from the zip"
done
grep -q $'^Quilmarr '"$version"$' for Windows\r$' "$folder/$name/README-Windows.txt" ||
  fail "README-Windows.txt lacks its title line"
grep -q 'Npcap (https://npcap.com/#download)' "$folder/$name/README-Windows.txt" ||
  fail "README-Windows.txt lacks the Npcap address"

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
  wine "$installer" /S "/D=$target"
  for file in quilmarr.exe quilmarr-cli.exe README-Windows.txt licenses/CLI11.txt Uninstall.exe; do
    [ -f "$unix_target/$file" ] || fail "the installer did not install $file"
  done
  # In place (_?=), so it waits and cannot remove itself.
  wine "$unix_target/Uninstall.exe" /S "_?=$target"
  for file in quilmarr.exe quilmarr-cli.exe README-Windows.txt licenses; do
    [ ! -e "$unix_target/$file" ] || fail "the uninstaller left $file"
  done
  rm -rf "$unix_target"
fi

[ "$failures" -eq 0 ] && echo "package checks passed"
exit "$failures"
