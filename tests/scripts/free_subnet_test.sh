#!/usr/bin/env bash
# scripts/free-subnet.sh in a network namespace of its own, with routes that
# cover the documentation ranges one after another. Exit 77: skipped (not root).
# Usage: free_subnet_test.sh PATH_TO_FREE_SUBNET_SH
set -uo pipefail
chooser=${1:?usage: free_subnet_test.sh PATH_TO_FREE_SUBNET_SH}
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: needs root to make a network namespace"
  exit 77
fi

ns=qlmsubnet-$$
ip netns add "$ns" || exit 1
trap 'ip netns delete "$ns"' EXIT
ip -n "$ns" link set lo up

failures=0
# expect WHAT EXPECTED_STATUS EXPECTED_OUTPUT : runs the chooser in the namespace.
expect() {
  local output status
  output=$(ip netns exec "$ns" bash "$chooser" 2>&1)
  status=$?
  if [ "$status" -ne "$2" ] || [[ "$output" != *"$3"* ]]; then
    echo "FAIL $1: status $status, output: $output (wanted status $2 and '$3')"
    failures=$((failures + 1))
  else
    echo "ok   $1: $output"
  fi
}

expect "no routes" 0 192.0.2.0/24

# A default route does not cover a range; a wider route around it does.
ip -n "$ns" route add default dev lo
ip -n "$ns" route add 192.0.0.0/16 dev lo
expect "192.0.0.0/16 covers the first range" 0 198.51.100.0/24

# A narrower route inside a range takes it too, in any table.
ip -n "$ns" route add 198.51.100.128/25 dev lo table 100
expect "198.51.100.128/25 takes the second range" 0 203.0.113.0/24

# An address of the host's own inside the range (a local route).
ip -n "$ns" addr add 203.0.113.77/32 dev lo
expect "all three covered" 1 "no documentation range is free"

[ "$failures" -eq 0 ]
