#!/bin/bash
# Start-up to a shown window: launches `flood_harness startup` (the dialog built
# as the application builds it, offscreen) RUNS times and prints, per run, the
# time from launch to the window's first paint and the peak resident memory.
#
#   bench/startup.sh BUILD_DIR [RUNS]
set -euo pipefail

build=${1:?usage: startup.sh BUILD_DIR [RUNS]}
runs=${2:-10}
harness=$build/bench/flood_harness
[ -x "$harness" ] || { echo "missing $harness" >&2; exit 2; }

settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT

printf 'run\tshown_after_ms\tpeak_rss_kb_at_shown\tpeak_rss_kb_whole_run\n'
for run in $(seq "$runs"); do
  launched=$(date +%s.%N)
  output=$(HOME=$settings XDG_CONFIG_HOME=$settings QT_QPA_PLATFORM=offscreen \
    /usr/bin/time -v "$harness" startup 2>&1)
  shown=$(awk '$1 == "shown_at_realtime" { print $2 }' <<< "$output")
  rssShown=$(awk '$1 == "peak_rss_kb_at_shown" { print $2 }' <<< "$output")
  rssRun=$(awk -F': ' '/Maximum resident set size/ { print $2 }' <<< "$output")
  printf '%s\t%.1f\t%s\t%s\n' "$run" "$(echo "($shown - $launched) * 1000" | bc -l)" "$rssShown" "$rssRun"
done
