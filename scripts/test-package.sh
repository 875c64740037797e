#!/usr/bin/env bash
# Builds the release configuration the way a packager does (no tests, no
# benchmarks, and GoogleTest and Google Benchmark made unfindable, so needing
# either fails), makes the Debian package, and installs it with dpkg into a
# throw-away root (dpkg --root, maintainer scripts run chroot-less against
# $DPKG_ROOT). Lintian must report no error and no warning. There it checks the files, their owners, modes and
# capabilities, the group the postinst makes, a second install, and a purge.
# The system's own groups, files and dpkg database are not touched.
# Usage: scripts/test-package.sh [--build-only]
#   --build-only: configure and build the release configuration, nothing more.
# QUILMARR_RELEASE_BUILD_DIR picks another build folder than build/release.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

scripts/setup.sh package || exit 1
build=${QUILMARR_RELEASE_BUILD_DIR:-build/release}
cmake --preset release -B "$build" --no-warn-unused-cli \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" || exit 1
[ "${1:-}" = "--build-only" ] && exit 0
rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null || exit 1

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$build/package/quilmarr_${version}_$(dpkg --print-architecture).deb

passed=0
failed=0
# check WHAT COMMAND... : one named check.
check() {
  local what=$1
  shift
  if "$@" >/dev/null; then
    passed=$((passed + 1))
    echo "ok   $what"
  else
    failed=$((failed + 1))
    echo "FAIL $what"
  fi
}

check "package file $(basename "$deb")" test -f "$deb"
[ -f "$deb" ] || exit 1
echo "--- dpkg -c $(basename "$deb")"
dpkg-deb -c "$deb" | awk '{ print $1, $2, $NF }'
depends=$(dpkg-deb -f "$deb" Depends)
echo "--- Depends: $depends"
for package in libcap2-bin passwd libpcap0.8 libdbus-1-3 libqt6widgets6; do
  check "depends on $package" grep -qE "(^|, )$package( |,|$)" <<<"$depends"
done

expected=(
  ./usr/bin/quilmarr ./usr/bin/quilmarr-cli ./usr/share/applications/quilmarr.desktop
  ./usr/share/man/man1/quilmarr.1.gz ./usr/share/man/man1/quilmarr-cli.1.gz
  ./usr/share/doc/quilmarr/copyright ./usr/share/doc/quilmarr/changelog.gz
  ./usr/share/icons/hicolor/scalable/apps/quilmarr.svg)
for size in 16 24 32 48 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/quilmarr.png")
done
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort)
check "exactly the product's files" \
  diff <(printf '%s\n' "${expected[@]}" | sort) <(printf '%s\n' "$listed")

# Lintian's errors and warnings, printed; its notes (I:, P:) pass.
lintian_faults() { lintian "$deb" 2>/dev/null | grep -E '^[EW]: ' | tee /dev/stderr; }
check "lintian: no errors, no warnings" test -z "$(lintian_faults)"
check "changelog names version $version" test "$(dpkg-deb --fsys-tarfile "$deb" |
  tar -xOf - ./usr/share/doc/quilmarr/changelog.gz | gzip -dc |
  dpkg-parsechangelog -l- -S Version)" = "$version"

root=$(mktemp -d /tmp/quilmarr-package-root.XXXXXX)
trap 'rm -rf "$root" "$root.log"' EXIT
mkdir -p "$root/etc" "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" \
  "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
printf 'root:x:0:\n' >"$root/etc/group"
printf 'root:*::\n' >"$root/etc/gshadow"
printf 'root:x:0:0:root:/root:/bin/sh\n' >"$root/etc/passwd"
system_files=(/etc/group /etc/gshadow /etc/passwd /var/lib/dpkg/status /var/lib/dpkg/statoverride)
system_state() { sha256sum "${system_files[@]}" 2>/dev/null; }
system_before=$(system_state)

# dpkg in the root; its output (the unmet dependencies, mostly) only when it fails.
in_root() {
  local log=$root.log status=0
  dpkg --root="$root" --force-script-chrootless --force-depends "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then cat "$log" >&2; fi
  return "$status"
}
group_id() { awk -F: '$1 == "quilmarr" { print $3 }' "$root/etc/group"; }
owner_and_mode() { stat -c '%u:%g %a' "$root/$1"; }
capabilities() { getcap "$root/$1" | grep -q 'cap_net_admin,cap_net_raw=eip'; }

check_installed() {
  local gid binary
  gid=$(group_id)
  check "$1: group quilmarr made in the root" test -n "$gid"
  check "$1: package configured" grep -qx 'Status: install ok installed' \
    <(dpkg --root="$root" -s quilmarr)
  for binary in usr/bin/quilmarr usr/bin/quilmarr-cli; do
    check "$1: /$binary root:quilmarr 0750" test "$(owner_and_mode "$binary")" = "0:$gid 750"
    check "$1: /$binary cap_net_raw,cap_net_admin=eip" capabilities "$binary"
  done
}

echo "--- install into $root"
check "dpkg -i" in_root -i "$deb"
check_installed "install"
check "files 0644" test "$(stat -c %a "$root/usr/share/applications/quilmarr.desktop")" = 644
check "quilmarr-cli runs and names its version" \
  grep -qx "quilmarr-cli $version" <("$root/usr/bin/quilmarr-cli" --version)
for page in quilmarr quilmarr-cli; do
  check "manual page $page(1) renders without warnings" \
    test -z "$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)"
done

echo "--- install again (upgrade path)"
check "dpkg -i again" in_root -i "$deb"
check_installed "again"
check "one group quilmarr" test "$(grep -c '^quilmarr:' "$root/etc/group")" = 1

echo "--- install again with an administrator's statoverride for quilmarr-cli"
check "statoverride added" \
  dpkg-statoverride --root="$root" --add root root 0755 /usr/bin/quilmarr-cli
check "dpkg -i with the override" in_root -i "$deb"
check "override: /usr/bin/quilmarr-cli as the administrator set it" \
  test "$(owner_and_mode usr/bin/quilmarr-cli)" = "0:0 755"
check "override: /usr/bin/quilmarr-cli without capabilities" \
  test -z "$(getcap "$root/usr/bin/quilmarr-cli")"
check "override: /usr/bin/quilmarr still root:quilmarr 0750" \
  test "$(owner_and_mode usr/bin/quilmarr)" = "0:$(group_id) 750"

echo "--- purge"
check "dpkg --purge" in_root --purge quilmarr
check "purge: binaries gone" test ! -e "$root/usr/bin/quilmarr"
check "purge: group quilmarr gone" test -z "$(group_id)"
check "system's own groups and dpkg database untouched" test "$(system_state)" = "$system_before"

echo "package checks: $passed ok, $failed failed"
[ "$failed" -eq 0 ]
