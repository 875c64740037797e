#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test: the sources' formatting, the
# normal build (unit, ui, live and e2e labels), the core under AddressSanitizer
# + UBSan and under ThreadSanitizer, the Windows cross-build under Wine, the fuzz
# target for a bounded time, and the release build with its Debian package
# installed into a throw-away root. Each stage prints a one-line summary; a
# table of all stages closes the run. Usage: scripts/test.sh [--quick]
# (--quick: the formatting and the normal build only)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

quick=0
[ "${1:-}" = "--quick" ] && quick=1

scripts/setup.sh all || { echo "setup failed" >&2; exit 1; }

passed=0
failed=0
stage_failed=()
summary=()
export QT_QPA_PLATFORM=offscreen

# ctest_counts LOG : "PASSED FAILED" summed over every CTest summary in LOG,
# or nothing when there is none.
ctest_counts() {
  local line total bad good=0 failed_here=0 found=0
  while read -r line; do
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    good=$((good + total - bad))
    failed_here=$((failed_here + bad))
    found=1
  done < <(grep -aE 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1")
  [ "$found" -eq 1 ] && echo "$good $failed_here"
  return 0
}

# stage NAME COMMAND... : runs one stage, prints its one-line summary and
# keeps it for the closing table. A stage that runs CTest adds CTest's counts
# to the totals; any other stage is one check of its own (ok or FAILED),
# except builds ("build ..."), which count toward no total.
stage() {
  local name=$1 log rc start seconds counts good bad result
  shift
  log=$(mktemp)
  start=$SECONDS
  "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  seconds=$((SECONDS - start))
  counts=$(ctest_counts "$log")
  rm -f "$log"
  if [ -n "$counts" ]; then
    read -r good bad <<<"$counts"
    passed=$((passed + good))
    failed=$((failed + bad))
    result="$good passed, $bad failed"
    [ "$rc" -eq 0 ] || [ "$bad" -gt 0 ] || result="$result, FAILED"
  elif [ "$rc" -eq 0 ]; then
    result=ok
    [[ $name == build* ]] || passed=$((passed + 1))
  else
    result=FAILED
    [[ $name == build* ]] || failed=$((failed + 1))
  fi
  [ "$rc" -eq 0 ] || stage_failed+=("$name")
  summary+=("$(printf '%-16s %-28s %6s s' "$name" "$result" "$seconds")")
  echo "=== stage $name: $result ($seconds s)"
  return "$rc"
}

# build PRESET : configures and builds.
build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$(nproc)"
}

echo "=== normal build"
stage format scripts/check-format.sh
if stage "build default" build default; then
  stage unit ctest --preset default -j "$(nproc)" -LE 'live|e2e|windows'
  # Live and end-to-end tests make network namespaces; one at a time.
  stage live ctest --preset default -L 'live|e2e'
fi

if [ "$quick" -eq 0 ]; then
  echo "=== AddressSanitizer + UndefinedBehaviorSanitizer"
  stage "build asan" build asan && stage asan ctest --preset asan -j "$(nproc)" -L unit

  echo "=== ThreadSanitizer"
  stage "build tsan" build tsan && stage tsan ctest --preset tsan -j "$(nproc)" -L unit

  echo "=== Windows (mingw-w64, under Wine)"
  stage windows scripts/test-windows.sh

  echo "=== fuzzing the decoder"
  stage fuzz scripts/fuzz.sh "${QUILMARR_FUZZ_SECONDS:-60}"

  echo "=== release build (neither GoogleTest nor Google Benchmark findable) and Debian package"
  stage "build release" scripts/test-package.sh --build-only && stage package scripts/test-package.sh
fi

echo
echo "=== summary"
printf '%-16s %-28s %8s\n' stage result time
printf '%s\n' "${summary[@]}"
if [ ${#stage_failed[@]} -gt 0 ]; then
  echo "Failed stages: ${stage_failed[*]}"
  echo "quilmarr: ${passed} passed, ${failed} failed"
  exit 1
fi
echo "quilmarr: ${passed} passed, ${failed} failed"
