#!/bin/bash
# The capture pipeline under a flood of non-LLDP frames, measured with the real
# dialog (offscreen) and, beside it, with `tcpdump -w /dev/null`.
#
#   sudo bench/flood_harness.sh BUILD_DIR OUT_DIR [SECONDS [RATE...]]
#
# For every rate R (default: 0 10000 100000 500000 1000000) it makes nothing but
# two fresh network namespaces joined by one veth pair (all traffic stays on
# that pair), then:
#   1. starts flood_harness in the capture namespace, which clicks Query Device;
#   2. runs ied-sim in the sender namespace for SECONDS (default 30): 250 devices
#      announcing once per second, plus R frames/s of 200-byte GOOSE-like frames;
#   3. repeats the same flood with `tcpdump -w /dev/null` capturing instead.
# Raw outputs go to OUT_DIR/<tool>-<R>.txt; one summary line per run is appended
# to OUT_DIR/summary.tsv. Namespaces and children are removed on exit.
set -euo pipefail

build=${1:?usage: flood_harness.sh BUILD_DIR OUT_DIR [SECONDS [RATE...]]}
out=${2:?usage: flood_harness.sh BUILD_DIR OUT_DIR [SECONDS [RATE...]]}
seconds=${3:-30}
shift $(( $# < 3 ? $# : 3 ))
rates=("$@")
[ ${#rates[@]} -gt 0 ] || rates=(0 10000 100000 500000 1000000)
devices=250
label=${LABEL:-run}

harness=$build/bench/flood_harness
sim=$build/tools/ied-sim/ied-sim
for tool in "$harness" "$sim"; do
  [ -x "$tool" ] || { echo "missing $tool (build flood_harness and ied-sim)" >&2; exit 2; }
done
command -v tcpdump > /dev/null || { echo "tcpdump is not installed" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "needs root (namespaces, veth, capture)" >&2; exit 2; }

capns=qm-perf-cap-$$
sndns=qm-perf-snd-$$
capif=qmpc$$
sndif=qmps$$
settings=$(mktemp -d)
children=()

cleanup() {
  for pid in "${children[@]}"; do
    kill -KILL "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
  done
  ip netns del "$capns" 2> /dev/null || true
  ip netns del "$sndns" 2> /dev/null || true
  rm -rf "$settings"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ip netns add "$capns"
ip netns add "$sndns"
ip link add "$capif" netns "$capns" type veth peer name "$sndif" netns "$sndns"
ip -n "$capns" addr add 10.77.0.1/24 dev "$capif"
ip -n "$sndns" addr add 10.77.0.2/24 dev "$sndif"
for side in "$capns $capif" "$sndns $sndif"; do
  set -- $side
  ip netns exec "$1" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
  ip -n "$1" link set lo up
  ip -n "$1" link set "$2" up
done
mkdir -p "$out"
[ -f "$out/summary.tsv" ] || printf 'label\ttool\trate\tseconds\tsent_flood\tsent_lldp\trx_packets\tcaptured\tdropped\tlldp_merged\tticks_after_2s\tticks_short\tlate_median_ms\tlate_max_ms\tui_cpu_s\tworker_cpu_s\n' > "$out/summary.tsv"

rx_packets() { ip netns exec "$capns" cat "/sys/class/net/$capif/statistics/rx_packets"; }

# Waits until FILE contains PATTERN (at most 20 s).
wait_for() {
  for _ in $(seq 200); do grep -q "$2" "$1" 2> /dev/null && return 0; sleep 0.1; done
  echo "timed out waiting for '$2' in $1" >&2
  return 1
}

run_sim() {
  local rate=$1 flood=()
  [ "$rate" -gt 0 ] && flood=(--flood-rate "$rate")
  ip netns exec "$sndns" "$sim" --interface "$sndif" --count "$devices" --base-ip 10.78.0.1 \
    --interval-ms 1000 --seconds "$seconds" "${flood[@]}"
}

value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

for rate in "${rates[@]}"; do
  # The dialog.
  result=$out/$label-quilmarr-$rate.txt
  before=$(rx_packets)
  HOME=$settings XDG_CONFIG_HOME=$settings QT_QPA_PLATFORM=offscreen \
    ip netns exec "$capns" "$harness" flood "$capif" "$((seconds + 3))" "$devices" > "$result" 2>&1 &
  children+=($!)
  wait_for "$result" '^ready'
  run_sim "$rate" > "$result.sim"
  wait "${children[-1]}" || echo "flood_harness failed at rate $rate (see $result)" >&2
  unset 'children[-1]'
  received=$(( $(rx_packets) - before ))
  read -r _ lldp _ flood < "$result.sim"
  printf '%s\tquilmarr\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$label" "$rate" "$seconds" \
    "$flood" "$lldp" "$received" "$(value pcap_received "$result")" "$(value pcap_dropped "$result")" \
    "$(value lldp_frames_merged "$result")" "$(value ticks_after_2s "$result")" \
    "$(value ticks_after_2s_not_all_devices "$result")" "$(value late_median_ms "$result")" \
    "$(value late_max_ms "$result")" "$(value ui_cpu_s "$result")" "$(value worker_cpu_s "$result")" \
    >> "$out/summary.tsv"

  # tcpdump on the same flood (skipped with TCPDUMP=0).
  [ "${TCPDUMP:-1}" = 1 ] || continue
  result=$out/$label-tcpdump-$rate.txt
  before=$(rx_packets)
  ip netns exec "$capns" tcpdump -i "$capif" -s 65536 -w /dev/null > "$result" 2>&1 &
  children+=($!)
  wait_for "$result" 'listening on'
  run_sim "$rate" > "$result.sim"
  sleep 1
  kill -INT "${children[-1]}"
  wait "${children[-1]}" || true
  unset 'children[-1]'
  received=$(( $(rx_packets) - before ))
  read -r _ lldp _ flood < "$result.sim"
  printf '%s\ttcpdump\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t\t\t\t\t\t\t\n' "$label" "$rate" "$seconds" "$flood" "$lldp" \
    "$received" "$(awk '/received by filter/ { print $1 }' "$result")" \
    "$(awk '/dropped by kernel/ { print $1 }' "$result")" >> "$out/summary.tsv"
done
column -t -s $'\t' "$out/summary.tsv"
