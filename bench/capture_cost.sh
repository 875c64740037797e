#!/bin/bash
# The capture worker's user-space cost per frame under a steady flood, counted
# by callgrind (instructions are exact and do not depend on the machine's load).
#
#   sudo bench/capture_cost.sh BUILD_DIR [RATE [SECONDS]]
#
# Makes two fresh network namespaces joined by one veth pair, floods the pair
# with RATE (default 200000) 200-byte non-LLDP frames/s plus 250 LLDP devices
# from ied-sim, and runs capture_cost under callgrind for SECONDS (default 5),
# collecting only inside CaptureWorker. Prints the worker's instructions (user
# space only: system calls are not counted), the frames it read (calls of the
# header check, which every frame gets) and their quotient. The ring hands over
# whole blocks, so a batched read finds hundreds of frames at once whatever the
# rate.
set -euo pipefail

build=${1:?usage: capture_cost.sh BUILD_DIR [RATE [SECONDS]]}
rate=${2:-200000}
seconds=${3:-5}
cost=$build/bench/capture_cost
sim=$build/tools/ied-sim/ied-sim
for tool in "$cost" "$sim"; do
  [ -x "$tool" ] || { echo "missing $tool (build capture_cost and ied-sim)" >&2; exit 2; }
done
command -v valgrind > /dev/null || { echo "valgrind is not installed" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "needs root (namespaces, veth, capture)" >&2; exit 2; }

capns=qm-cost-cap-$$
sndns=qm-cost-snd-$$
capif=qmcc$$
sndif=qmcs$$
work=$(mktemp -d)
sender=

cleanup() {
  [ -z "$sender" ] || { kill -TERM "$sender" 2> /dev/null || true; wait "$sender" 2> /dev/null || true; }
  ip netns del "$capns" 2> /dev/null || true
  ip netns del "$sndns" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$capns"
ip netns add "$sndns"
ip link add "$capif" netns "$capns" type veth peer name "$sndif" netns "$sndns"
for side in "$capns $capif" "$sndns $sndif"; do
  set -- $side
  ip netns exec "$1" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
  ip -n "$1" link set "$2" up
done

ip netns exec "$sndns" "$sim" --interface "$sndif" --count 250 --base-ip 10.78.0.1 \
  --interval-ms 1000 --flood-rate "$rate" > /dev/null &
sender=$!
ip netns exec "$capns" valgrind --tool=callgrind --callgrind-out-file="$work/out" \
  --toggle-collect='quilmarr::CaptureWorker*' "$cost" "$capif" "$seconds" > "$work/run" 2> "$work/log"
cat "$work/run"
# Inclusive instructions of CaptureWorker, and how often the header check ran
# (once per frame read).
callgrind_annotate --inclusive=yes --tree=calling "$work/out" 2> /dev/null | awk '
  /\* +[^ ]*:quilmarr::CaptureWorker\(/ && !worker { v = $1; gsub(",", "", v); worker = v }
  /> +.*quilmarr::CheckEthernetHeader\(/ {
    n = $NF; if (n !~ /x\)$/) n = $(NF - 1)
    gsub("[(,x)]", "", n); frames += n
  }
  END {
    printf "worker_instructions %d\nframes_read %d\n", worker, frames
    if (frames > 0) printf "instructions_per_frame %.1f\n", worker / frames
  }'
