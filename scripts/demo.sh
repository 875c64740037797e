#!/usr/bin/env bash
# Builds Quilmarr and shows it at work on a saved capture.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh core
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILMARR_WITH_GUI=OFF >/dev/null
cmake --build build/demo --target quilmarr-cli -j2
capture=${1:-../shared/corpus/lldp/hirschmann_mar_pmu.pcap}
echo "== quilmarr-cli decode $capture (LLDP frames only)"
./build/demo/tools/cli/quilmarr-cli decode "$capture" | grep -v 'invalid multicast address' || true
