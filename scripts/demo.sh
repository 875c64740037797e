#!/usr/bin/env bash
# Shows Quilmarr at work on a simulated substation: installs what is missing,
# builds, joins a private network namespace to this host by a veth pair on the
# first documentation range that no route of the host covers (host side .1,
# see scripts/free-subnet.sh), starts eight simulated IEDs (ied-sim) in the
# namespace, and gives the tool its own settings folder whose updater is the
# stand-in Pendravel.exe. With a display it starts Quilmarr there; without one
# it walks the real window through a query and a batch of two devices under
# Xvfb and writes a screenshot of each stage to build/demo-shots/.
# Everything it made is removed on exit, also on Ctrl-C. The user's own
# settings file is never touched.
#
# Usage: scripts/demo.sh [--headless]
# Environment: QUILMARR_BUILD_DIR  another build folder (configured if new) instead of the
#              "default" preset's
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

headless=0
[ "${1:-}" = "--headless" ] && headless=1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then headless=1; fi

if [ "$(id -u)" -ne 0 ]; then
  echo "demo.sh: run as root: it makes a network namespace and a veth pair and captures on them" >&2
  exit 1
fi

scripts/setup.sh all
# The host keeps its own routes: the segment gets a range none of them covers.
subnet=$(scripts/free-subnet.sh) || {
  echo "demo.sh: cannot place the simulated substation without cutting into this host's network" >&2
  exit 1
}
net=${subnet%.0/24}
host_ip=$net.1
ied_ip=$net.2

build=${QUILMARR_BUILD_DIR:-build/default}
if [ -z "${QUILMARR_BUILD_DIR:-}" ]; then
  cmake --preset default >/dev/null
elif [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target quilmarr ied-sim pendravel_standin quilmarr-demo-driver
build=$(cd "$build" && pwd)

ns=qlmdemo-$$
host_if=qldemo$$
ied_if=qlied$$
host_if=${host_if:0:15}
ied_if=${ied_if:0:15}
work=$(mktemp -d /tmp/quilmarr-demo.XXXXXX)
pids=()

cleanup() {
  trap - EXIT INT TERM
  local pid
  # Each job runs in its own process group (setsid), so Xvfb and the tool go too.
  for pid in "${pids[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  ip link delete "$host_if" 2>/dev/null || true
  ip netns delete "$ns" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo; echo "demo.sh: interrupted, cleaning up"; exit 130' INT TERM

echo "== simulated substation on $subnet (no route of this host covers it)"
echo "== namespace $ns, veth $host_if ($host_ip) <-> $ied_if ($ied_ip)"
ip netns add "$ns"
ip link add "$host_if" type veth peer name "$ied_if" netns "$ns"
# No IPv6 autoconfiguration chatter on the demo segment: LLDP only.
sysctl -qw "net.ipv6.conf.$host_if.disable_ipv6=1" || true
ip netns exec "$ns" sysctl -qw "net.ipv6.conf.$ied_if.disable_ipv6=1" || true
ip addr add "$host_ip/24" dev "$host_if"
ip link set "$host_if" up
ip -n "$ns" addr add "$ied_ip/24" dev "$ied_if"
ip -n "$ns" link set "$ied_if" up
ip -n "$ns" link set lo up

mkdir -p "$work/devices" "$work/config/Kavrendt/Ostrovel/Firmware"
setsid ip netns exec "$ns" "$build/tools/ied-sim/ied-sim" --interface "$ied_if" --count 8 \
  --base-ip "$net.10" --app-version 1.0.0 --state-dir "$work/devices" >/dev/null &
pids+=($!)
echo "== eight IEDs $net.10 .. $net.17 announce AppVer 1.0.0 every second"

package="$work/demo-firmware.pck"
printf 'state-dir=%s\nversion=2.0.0\n' "$work/devices" >"$package"
settings="$work/config/Kavrendt/Ostrovel/Firmware/Pendravel.ini"
cat >"$settings" <<EOF
[UDP]
[Quilmarr]
PckFile=$package
AdapterIp=$host_ip
[Pendravel]
ExePath=$build/updater-standin/
EOF
export XDG_CONFIG_HOME="$work/config"
export QUILMARR_STANDIN_LOG="$work/updater.log"
echo "== settings file $settings (the stand-in updater \"flashes\" version 2.0.0)"

if [ "$headless" -eq 0 ]; then
  echo "== starting Quilmarr: pick \"$host_ip\", Query Device, tick devices, Batch Update"
  setsid "$build/app/quilmarr" &
  pids+=($!)
  wait "${pids[-1]}" || true
else
  shots="$repo/build/demo-shots"
  rm -rf "$shots"
  mkdir -p "$shots"
  echo "== no display: walking the window through a query and a batch of two devices under Xvfb"
  setsid xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/tests/e2e/quilmarr-demo-driver" --adapter-ip "$host_ip" --devices 8 \
    --tick 0 --tick 1 --new-version 2.0.0 --shots "$shots" --timeout 60 &
  pids+=($!)
  status=0
  wait "${pids[-1]}" || status=$?
  echo "== updater runs (start, end, arguments, REMOTE_IP, HOST_IP):"
  cat "$QUILMARR_STANDIN_LOG" 2>/dev/null || echo "(none)"
  echo "== screenshots of each stage in $shots:"
  ls -1 "$shots"
  exit "$status"
fi
