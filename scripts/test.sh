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

# run_ctest NAME ARGS... : runs ctest, adds its counts to the totals.
run_ctest() {
  local name=$1
  shift
  local log
  log=$(mktemp)
  ctest "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local total bad
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  [ "$rc" -eq 0 ] || stage_failed+=("$name")
  rm -f "$log"
}

# build PRESET : configures and builds; a failure fails the stage.
build() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2
}

echo "=== normal build"
if build default; then
  run_ctest unit --preset default -j2 -LE 'live|e2e'
  # Live and end-to-end tests make network namespaces; one at a time.
  run_ctest live --preset default -L 'live|e2e'
else
  stage_failed+=("build default")
fi

if [ "$quick" -eq 0 ]; then
  echo "=== AddressSanitizer + UndefinedBehaviorSanitizer"
  if build asan; then run_ctest asan --preset asan -j2 -L unit; else stage_failed+=("build asan"); fi

  echo "=== ThreadSanitizer"
  if build tsan; then run_ctest tsan --preset tsan -j2 -L unit; else stage_failed+=("build tsan"); fi

  echo "=== Windows (mingw-w64, under Wine)"
  if [ -x scripts/test-windows.sh ]; then
    log=$(mktemp)
    scripts/test-windows.sh 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
      total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
      bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
      passed=$((passed + total - bad))
      failed=$((failed + bad))
    fi
    [ "$rc" -eq 0 ] || stage_failed+=("windows")
    rm -f "$log"
  fi

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
