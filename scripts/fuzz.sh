#!/usr/bin/env bash
# Builds the decoder's libFuzzer target (clang, ASan + UBSan) and runs it for
# SECONDS (default 60) from the seed frames. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target lldp_decode_fuzz -j "$(nproc)"
work=build/fuzz/corpus
mkdir -p "$work"
./build/fuzz/fuzz/lldp_decode_fuzz -max_total_time="$seconds" -max_len=2048 \
  -print_final_stats=1 "$work" fuzz/seeds 2>&1 | tail -n 12
