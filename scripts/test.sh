#!/usr/bin/env bash
# Sets up a Debian 12 machine and runs every test: the normal build (unit, ui,
# live and e2e labels), the core under AddressSanitizer + UBSan and under
# ThreadSanitizer, the Windows cross-build under Wine, and the fuzz target for
# a bounded time. Usage: scripts/test.sh [--quick]  (--quick: normal build only)
set -uo pipefail
cd "$(dirname "$0")/.."

quick=0
[ "${1:-}" = "--quick" ] && quick=1

scripts/setup.sh all || { echo "setup failed" >&2; exit 1; }

passed=0
failed=0
stage_failed=()
export QT_QPA_PLATFORM=offscreen

# count LOG : adds the counts of every CTest summary in LOG to the totals.
count() {
  local line total bad
  while read -r line; do
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  done < <(grep -aE 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1")
}

# stage NAME COMMAND... : runs a test command, counts its results, and
# records the stage as failed when the command fails.
stage() {
  local name=$1 log rc
  shift
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  count "$log"
  rm -f "$log"
  [ "$rc" -eq 0 ] || stage_failed+=("$name")
}

# build PRESET : configures and builds; a failure fails the stage.
build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2
}

echo "=== normal build"
if build default; then
  stage unit ctest --preset default -j2 -LE 'live|e2e|windows'
  # Live and end-to-end tests make network namespaces; one at a time.
  stage live ctest --preset default -L 'live|e2e'
else
  stage_failed+=("build default")
fi

if [ "$quick" -eq 0 ]; then
  echo "=== AddressSanitizer + UndefinedBehaviorSanitizer"
  if build asan; then stage asan ctest --preset asan -j2 -L unit; else stage_failed+=("build asan"); fi

  echo "=== ThreadSanitizer"
  if build tsan; then stage tsan ctest --preset tsan -j2 -L unit; else stage_failed+=("build tsan"); fi

  echo "=== Windows (mingw-w64, under Wine)"
  stage windows scripts/test-windows.sh

  echo "=== fuzzing the decoder"
  if scripts/fuzz.sh "${QUILMARR_FUZZ_SECONDS:-60}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    stage_failed+=("fuzz")
  fi
fi

echo
if [ ${#stage_failed[@]} -gt 0 ]; then
  echo "Failed stages: ${stage_failed[*]}"
  echo "quilmarr: ${passed} passed, ${failed} failed"
  exit 1
fi
echo "quilmarr: ${passed} passed, ${failed} failed"
