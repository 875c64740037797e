#!/bin/bash
# The capture pipeline under a flood of non-LLDP frames, measured with the real
# dialog (offscreen) and, beside it, with `tcpdump -w /dev/null`.
#
#   sudo bench/flood_harness.sh BUILD_DIR OUT_DIR [SECONDS [RATE...]]
#
# For every rate R (default: 0 10000 100000 500000 1000000) it makes nothing but
# two fresh network namespaces joined by one veth pair (all traffic stays on
# that pair), then:
#   1. starts flood_harness in the capture namespace, which clicks Query Device
#      and says "ready" once the adapter is open;
#   2. runs ied-sim in the sender namespace for SECONDS (default 30): 250 devices
#      announcing once per second, plus R frames/s of 200-byte GOOSE-like frames;
#   3. one second after ied-sim has ended, stops the capture with SIGINT;
#   4. repeats 1 to 3 with `tcpdump -w /dev/null` capturing instead.
# Both tools capture over the same window, so every frame the capture veth
# received (rx_packets) was offered to both. A frame is lost when the tool
# never read it: counted in pcap_stats' ps_drop, or never reaching the capture
# socket at all (rx_packets - ps_recv, "uncounted").
#
# Environment: REPEAT=n runs every rate n times (default 1); TCPDUMP=0 skips the
# tcpdump runs; LABEL=... names the rows (default: run).
# Raw outputs go to OUT_DIR/<label>-<tool>-<R>-<n>.txt; one line per run is
# appended to OUT_DIR/summary.tsv. At the end it prints this invocation's runs
# and, per rate, the lost frames of both tools side by side (medians over the
# repeats). Namespaces and children are removed on exit.
set -euo pipefail

build=${1:?usage: flood_harness.sh BUILD_DIR OUT_DIR [SECONDS [RATE...]]}
out=${2:?usage: flood_harness.sh BUILD_DIR OUT_DIR [SECONDS [RATE...]]}
seconds=${3:-30}
shift $(($# < 3 ? $# : 3))
rates=("$@")
[ ${#rates[@]} -gt 0 ] || rates=(0 10000 100000 500000 1000000)
devices=250
label=${LABEL:-run}
repeat=${REPEAT:-1}

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
runs=$(mktemp)
children=()

cleanup() {
  for pid in "${children[@]}"; do
    kill -KILL "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
  done
  ip netns del "$capns" 2> /dev/null || true
  ip netns del "$sndns" 2> /dev/null || true
  rm -rf "$settings" "$runs"
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
header='label\ttool\trate\tsim_s\toffered_per_s\tsent_flood\tsent_lldp\trx_packets\treceived\tdropped\tuncounted\tlost\tlldp_read\tticks_after_2s\tticks_short\tlate_median_ms\tlate_max_ms\tui_cpu_s\tworker_cpu_s\tload1\n'
[ -f "$out/summary.tsv" ] || printf "$header" > "$out/summary.tsv"

rx_packets() { ip netns exec "$capns" cat "/sys/class/net/$capif/statistics/rx_packets"; }
now() { date +%s.%N; }

# Waits until FILE contains PATTERN (at most 20 s).
wait_for() {
  for _ in $(seq 200); do grep -q "$2" "$1" 2> /dev/null && return 0; sleep 0.1; done
  echo "timed out waiting for '$2' in $1" >&2
  return 1
}

value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

# One capture over one flood: starts the capture command (output to $result),
# waits for PATTERN, runs ied-sim, stops the capture one second after ied-sim
# has ended. Sets rx, sim_s, lldp and flood.
capture_one_flood() {
  local rate=$1 pattern=$2 before started ended flood_args=()
  shift 2
  [ "$rate" -gt 0 ] && flood_args=(--flood-rate "$rate")
  before=$(rx_packets)
  # Emptied here, not by the redirection below: that runs in the child, and
  # until it does, an earlier run's output would already say "ready".
  : > "$result"
  "$@" >> "$result" 2>&1 &
  children+=($!)
  wait_for "$result" "$pattern"
  started=$(now)
  ip netns exec "$sndns" "$sim" --interface "$sndif" --count "$devices" --base-ip 10.78.0.1 \
    --interval-ms 1000 --seconds "$seconds" "${flood_args[@]}" > "$result.sim"
  ended=$(now)
  sleep 1
  kill -INT "${children[-1]}"
  wait "${children[-1]}" || echo "capture failed at rate $rate (see $result)" >&2
  unset 'children[-1]'
  rx=$(($(rx_packets) - before))
  sim_s=$(echo "$ended - $started" | bc -l)
  read -r _ lldp _ flood < "$result.sim"
}

# Appends one row: tool rate received dropped [lldp ticks short late_med late_max ui worker].
record() {
  local tool=$1 rate=$2 received=$3 dropped=$4 row
  shift 4
  row=$(printf '%s\t%s\t%s\t%.2f\t%.0f\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s' \
    "$label" "$tool" "$rate" "$sim_s" "$(echo "$flood / $sim_s" | bc -l)" "$flood" "$lldp" "$rx" \
    "$received" "$dropped" "$((rx - received))" "$((rx - received + dropped))" \
    "${1:--}" "${2:--}" "${3:--}" "${4:--}" "${5:--}" "${6:--}" "${7:--}" "$(cut -d' ' -f1 /proc/loadavg)")
  printf '%s\n' "$row" >> "$out/summary.tsv"
  printf '%s\n' "$row" >> "$runs"
}

for n in $(seq "$repeat"); do
  for rate in "${rates[@]}"; do
    result=$out/$label-quilmarr-$rate-$n.txt
    capture_one_flood "$rate" '^ready' env HOME="$settings" XDG_CONFIG_HOME="$settings" \
      QT_QPA_PLATFORM=offscreen ip netns exec "$capns" "$harness" flood "$capif" "$devices"
    record quilmarr "$rate" "$(value pcap_received "$result")" "$(value pcap_dropped "$result")" \
      "$(value lldp_frames_read "$result")" "$(value ticks_after_2s "$result")" \
      "$(value ticks_after_2s_not_all_devices "$result")" "$(value late_median_ms "$result")" \
      "$(value late_max_ms "$result")" "$(value ui_cpu_s "$result")" \
      "$(value worker_cpu_s "$result")"

    [ "${TCPDUMP:-1}" = 1 ] || continue
    result=$out/$label-tcpdump-$rate-$n.txt
    capture_one_flood "$rate" 'listening on' \
      ip netns exec "$capns" tcpdump -i "$capif" -s 65536 -w /dev/null
    record tcpdump "$rate" "$(awk '/received by filter/ { print $1 }' "$result")" \
      "$(awk '/dropped by kernel/ { print $1 }' "$result")"
  done
done

{ printf "$header"; cat "$runs"; } | column -t -s $'\t'
echo
# Lost frames (dropped + uncounted) per tool and rate: median and each run.
awk -F'\t' '
  function median(list,   n, v, i, j, t) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j] + 0 < v[j - 1] + 0; j--) {
      t = v[j]; v[j] = v[j - 1]; v[j - 1] = t
    }
    return v[int((n + 1) / 2)]
  }
  {
    key = $3 SUBSEP $2
    lost[key] = lost[key] " " $12; offered[key] = offered[key] " " $5
    if (!($3 in seen)) { seen[$3] = 1; order[++rates] = $3 }
  }
  END {
    for (r = 1; r <= rates; r++) {
      line = sprintf("lost frames vs tcpdump at %s/s requested:", order[r])
      split("quilmarr tcpdump", tools, " ")
      for (t = 1; t <= 2; t++) {
        key = order[r] SUBSEP tools[t]
        if (!(key in lost)) continue
        line = line sprintf("  %s %s (runs:%s; offered %s/s)", tools[t], median(lost[key]),
                            lost[key], median(offered[key]))
      }
      print line
    }
  }' "$runs"
