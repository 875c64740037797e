#!/usr/bin/env bash
# The Ansible play of docs/fleet.md, taken from the document as it stands and
# run with ansible-playbook against two simulated stations on this machine.
# Each station is a veth pair: its bus end in a namespace of its own, where
# ied-sim devices announce themselves; its adapter end in one shared "station
# PC" namespace, where ansible-playbook (local connection) runs quilmarr-cli.
# Each station has its own settings folder naming the stand-in Pendravel.exe.
# Checks: every device of each station verified in that station's fetched
# report, and [UDP] REMOTE_IP/HOST_IP as they were in both settings files.
# The addresses come from a documentation range no route of this host covers
# (scripts/free-subnet.sh), and exist only inside the namespaces made here.
# Exit 77: skipped (not root, or no ansible-playbook).
# Usage: fleet_play_test.sh FLEET_MD FREE_SUBNET_SH QUILMARR_CLI IED_SIM UPDATER_DIR
set -uo pipefail
usage="usage: fleet_play_test.sh FLEET_MD FREE_SUBNET_SH QUILMARR_CLI IED_SIM UPDATER_DIR"
fleet_md=${1:?$usage}
chooser=${2:?$usage}
cli=${3:?$usage}
ied_sim=${4:?$usage}
updater_dir=${5:?$usage}
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: needs root to make network namespaces and capture"
  exit 77
fi
if ! command -v ansible-playbook >/dev/null; then
  echo "skipped: ansible-playbook is not installed (Debian: ansible-core, scripts/setup.sh)"
  exit 77
fi

subnet=$(bash "$chooser") || exit 1
net=${subnet%.0/24}

tag=$$
pc=qlmfleet-pc-$tag
work=$(mktemp -d /tmp/quilmarr-fleet.XXXXXX)
namespaces=()
pids=()
cleanup() {
  local ns pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  # Whatever is left in the namespaces (an async job of an aborted play).
  for ns in "${namespaces[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
  done
  for ns in "${namespaces[@]}"; do ip netns delete "$ns" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
  echo "FAIL $*"
  exit 1
}

# make_namespace NAME : a namespace without IPv6, so its links carry only LLDP.
make_namespace() {
  ip netns add "$1" || fail "cannot make network namespace $1"
  namespaces+=("$1")
  ip netns exec "$1" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
  ip -n "$1" link set lo up
}

# The play, exactly as the document gives it: the yaml block of its Ansible example.
awk '/^## Worked example: Ansible/ { inside = 1; next }
     inside && /^## / { exit }
     inside && /^```yaml$/ { block = 1; next }
     block && /^```$/ { exit }
     block { print }' "$fleet_md" >"$work/rollout.yml"
grep -q 'hosts: substations' "$work/rollout.yml" || fail "no Ansible play found in $fleet_md"

make_namespace "$pc"
mkdir -p "$work/devices" "$work/packages"
printf 'state-dir=%s\nversion=2.0.0\n' "$work/devices" >"$work/packages/ied-app-2.0.0.pck"
inventory="$work/inventory.ini"
printf '[substations]\n' >"$inventory"

# station NUMBER NAME ADAPTER_HOST DEVICE_BASE_HOST DEVICE_COUNT : one /25 of the range each.
declare -A device_count adapter_ip settings_file
station() {
  local number=$1 name=$2 bus=qlmfleet-bus$1-$tag adapter_if=qfa$1x$tag bus_if=qfb$1x$tag
  local config="$work/$name/config"
  adapter_ip[$name]=$net.$3
  device_count[$name]=$5
  make_namespace "$bus"
  ip link add "${adapter_if:0:15}" netns "$pc" type veth peer name "${bus_if:0:15}" netns "$bus" ||
    fail "cannot make the veth pair of $name"
  ip -n "$pc" addr add "${adapter_ip[$name]}/25" dev "${adapter_if:0:15}"
  ip -n "$pc" link set "${adapter_if:0:15}" up
  ip -n "$bus" link set "${bus_if:0:15}" up
  ip netns exec "$bus" "$ied_sim" --interface "${bus_if:0:15}" --count "$5" --base-ip "$net.$4" \
    --interval-ms 250 --name-prefix "${name^^}" --app-version 1.0.0 --state-dir "$work/devices" \
    >"$work/$name-ied-sim.log" 2>&1 &
  pids+=($!)

  settings_file[$name]="$config/Kavrendt/Ostrovel/Firmware/Pendravel.ini"
  mkdir -p "${settings_file[$name]%/*}"
  printf '[UDP]\nREMOTE_IP=%s\nHOST_IP=%s\n[Pendravel]\nExePath=%s/\n' \
    "$net.$((3 + 100 * (number - 1)))" "$net.$((4 + 100 * (number - 1)))" "$updater_dir" \
    >"${settings_file[$name]}"
  printf "%s station_adapter_ip=%s station_environment=\"{'XDG_CONFIG_HOME': '%s'}\"\n" \
    "$name" "${adapter_ip[$name]}" "$config" >>"$inventory"
}
station 1 st-north-07 1 10 3
station 2 st-north-08 129 140 2
printf '\n[substations:vars]\nansible_connection=local\nansible_python_interpreter=/usr/bin/python3\n' \
  >>"$inventory"

# ini_value FILE SECTION KEY
ini_value() {
  awk -F= -v section="[$2]" -v key="$3" '/^\[/ { inside = $0 == section; next }
    inside && $1 == key { print substr($0, length(key) + 2); exit }' "$1"
}
declare -A remote_before host_before
for name in "${!settings_file[@]}"; do
  remote_before[$name]=$(ini_value "${settings_file[$name]}" UDP REMOTE_IP)
  host_before[$name]=$(ini_value "${settings_file[$name]}" UDP HOST_IP)
done

# The stations' PC: quilmarr-cli on the PATH; a quick stand-in updater whose
# devices stay silent one second; Ansible's own files in the work folder.
: >"$work/ansible.cfg"
started=$SECONDS
(
  cd "$work" &&
    ip netns exec "$pc" env PATH="$(dirname "$cli"):$PATH" \
      QUILMARR_STANDIN_DELAY_MS=300 QUILMARR_STANDIN_SILENT_S=1 \
      ANSIBLE_CONFIG="$work/ansible.cfg" ANSIBLE_LOCAL_TEMP="$work/ansible/local" \
      ANSIBLE_REMOTE_TEMP="$work/ansible/remote" ANSIBLE_ASYNC_DIR="$work/ansible/async" \
      ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0 \
      ansible-playbook -i inventory.ini -e "work_dir=$work/station-files" rollout.yml </dev/null
) >"$work/play.log" 2>&1 &
# In the background, so that an interruption cleans up at once.
pids+=($!)
wait "${pids[-1]}"
status=$?
echo "ansible-playbook: exit status $status after $((SECONDS - started)) s"
if [ "$status" -ne 0 ]; then
  cat "$work/play.log"
  fail "the play did not succeed"
fi

failures=0
for name in "${!settings_file[@]}"; do
  report="$work/reports/$name.csv"
  if [ ! -f "$report" ]; then
    echo "FAIL $name: no report fetched to reports/$name.csv"
    failures=$((failures + 1))
    continue
  fi
  # One row per device of this station, each verified, each on its own adapter,
  # with the digests sha256sum gives for the package and the updater.
  rows=$(tail -n +2 "$report" | tr -d '\r')
  package=$work/station-files/ied-app-2.0.0.pck
  digests="\"$(sha256sum <"$package" | cut -d' ' -f1)\",\"$(sha256sum <"$updater_dir/Pendravel.exe" | cut -d' ' -f1)\""
  verified=$(grep -c "^\"$net\.[0-9]*\",\"${name^^}-[0-9]\",.*,\"0\",\"Verified 2.0.0\",\"$package\",\"${adapter_ip[$name]}\",$digests," <<<"$rows")
  if [ "$(wc -l <<<"$rows")" -ne "${device_count[$name]}" ] || [ "$verified" -ne "${device_count[$name]}" ]; then
    echo "FAIL $name: wanted ${device_count[$name]} devices verified on ${adapter_ip[$name]}, report:"
    cat "$report"
    failures=$((failures + 1))
  else
    echo "ok   $name: ${device_count[$name]} devices verified"
  fi
  remote=$(ini_value "${settings_file[$name]}" UDP REMOTE_IP)
  host=$(ini_value "${settings_file[$name]}" UDP HOST_IP)
  if [ "$remote" != "${remote_before[$name]}" ] || [ "$host" != "${host_before[$name]}" ]; then
    echo "FAIL $name: [UDP] REMOTE_IP=$remote HOST_IP=$host, wanted" \
      "${remote_before[$name]} and ${host_before[$name]} as before"
    failures=$((failures + 1))
  else
    echo "ok   $name: [UDP] restored"
  fi
done
[ "$failures" -eq 0 ] || { cat "$work/play.log"; exit 1; }
