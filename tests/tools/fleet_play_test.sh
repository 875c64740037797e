#!/usr/bin/env bash
# The Ansible play of docs/fleet.md, taken from the document as it stands and
# run with ansible-playbook against two simulated stations on this machine.
# Each station is a veth pair: its bus end in a namespace of its own, where
# ied-sim devices announce themselves; its adapter end in one shared "station
# PC" namespace, where ansible-playbook (local connection) runs quilmarr-cli.
# Each station has its own settings folder naming the stand-in Pendravel.exe.
# Checks: the play run three times: with --check (a dry run: nothing run or
# written), for real (every device of each station verified in its fetched
# report, [UDP] put back) and again (nothing run, every device "Already at
# 2.0.0", the update task unchanged); changes as the update task reports them.
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

# Each task's result, one line per host and task (host, action, status,
# changed), from a callback of the test's own: ansible-core has no JSON output.
mkdir -p "$work/callbacks" "$work/tmp"
cat >"$work/callbacks/task_lines.py" <<'PYTHON'
import os
from ansible.plugins.callback import CallbackBase

class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = 'aggregate'
    CALLBACK_NAME = 'task_lines'
    CALLBACK_NEEDS_ENABLED = True

    def _line(self, result, status):
        fields = [result._host.get_name(), result._task.action, status,
                  str(bool(result._result.get('changed'))).lower()]
        with open(os.environ['FLEET_TASK_LINES'], 'a') as out:
            out.write('\t'.join(fields) + '\n')

    def v2_runner_on_ok(self, result):
        self._line(result, 'ok')

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._line(result, 'failed')

    def v2_runner_on_skipped(self, result):
        self._line(result, 'skipped')
PYTHON

# play RUN [ANSIBLE-PLAYBOOK ARGUMENTS] : the play on the stations' PC, with
# quilmarr-cli on the PATH and a quick stand-in updater whose devices stay
# silent one second; Ansible's own files in the work folder. Sets $status.
: >"$work/ansible.cfg"
play() {
  local run=$1 started=$SECONDS
  shift
  (
    cd "$work" &&
      ip netns exec "$pc" env PATH="$(dirname "$cli"):$PATH" TMPDIR="$work/tmp" \
        QUILMARR_STANDIN_DELAY_MS=300 QUILMARR_STANDIN_SILENT_S=1 \
        ANSIBLE_CONFIG="$work/ansible.cfg" ANSIBLE_LOCAL_TEMP="$work/ansible/local" \
        ANSIBLE_REMOTE_TEMP="$work/ansible/remote" ANSIBLE_ASYNC_DIR="$work/ansible/async" \
        ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0 \
        ANSIBLE_CALLBACK_PLUGINS="$work/callbacks" ANSIBLE_CALLBACKS_ENABLED=task_lines \
        FLEET_TASK_LINES="$work/tasks-$run.tsv" \
        ansible-playbook -i inventory.ini -e "work_dir=$work/station-files" \
        -e target_version=2.0.0 -e listen_seconds=3 -e verify_seconds=60 "$@" rollout.yml </dev/null
  ) >"$work/play-$run.log" 2>&1 &
  # In the background, so that an interruption cleans up at once.
  pids+=($!)
  wait "${pids[-1]}"
  status=$?
  echo "ansible-playbook ($run): exit status $status after $((SECONDS - started)) s"
}

failures=0
check() { # check CONDITION-STATUS MESSAGE
  if [ "$1" -eq 0 ]; then echo "ok   $2"; else echo "FAIL $2"; failures=$((failures + 1)); fi
}
# update_changed RUN NAME : the update task's (the play's one command) status and changed.
update_changed() {
  awk -F'\t' -v host="$2" '$1 == host && $2 ~ /command$/ { print $3, $4 }' "$work/tasks-$1.tsv"
}
# runs NAME : how often the stand-in updater ran for this station.
runs() {
  local log="${settings_file[$1]%/*}/Pendravel-standin.log"
  if [ -f "$log" ]; then wc -l <"$log"; else echo 0; fi
}
# report_rows NAME EXIT-STATUS OUTCOME : the fetched report's rows with these cells,
# each on this station's adapter, with the digests of the package and the updater.
report_rows() {
  local package=$work/station-files/ied-app-2.0.0.pck digests
  digests="\"$(sha256sum <"$package" | cut -d' ' -f1)\",\"$(sha256sum <"$updater_dir/Pendravel.exe" | cut -d' ' -f1)\""
  tail -n +2 "$work/reports/$1.csv" | tr -d '\r' |
    grep -c "^\"$net\.[0-9]*\",\"${1^^}-[0-9]\",.*,\"$2\",\"$3\",\"$package\",\"${adapter_ip[$1]}\",$digests,"
}
finish() {
  [ "$failures" -eq 0 ] && exit 0
  for log in "$work"/play-*.log; do echo "== $log"; cat "$log"; done
  exit 1
}

# 1. --check: a dry run on each station, which runs no updater and writes nothing.
for name in "${!settings_file[@]}"; do cp "${settings_file[$name]}" "$work/$name-before.ini"; done
play check --check
check "$status" "--check succeeds"
for name in "${!settings_file[@]}"; do
  [ "$(update_changed check "$name")" = "ok false" ]
  check $? "$name --check: the update task ran and changed nothing"
  [ "$(runs "$name")" -eq 0 ]
  check $? "$name --check: no updater run"
  cmp -s "${settings_file[$name]}" "$work/$name-before.ini"
  check $? "$name --check: settings file byte for byte unchanged"
done
[ ! -e "$work/station-files" ] && [ -z "$(ls -A "$work/tmp")" ] && [ ! -e "$work/reports" ]
check $? "--check: no work folder, report or dry-run copy left"
[ "$failures" -eq 0 ] || finish

# 2. The rollout: every device of each station verified, [UDP] put back.
play rollout
check "$status" "the rollout succeeds"
declare -A runs_after_rollout
for name in "${!settings_file[@]}"; do
  runs_after_rollout[$name]=$(runs "$name")
  [ "$(update_changed rollout "$name")" = "ok true" ]
  check $? "$name: the update task changed the station"
  [ -f "$work/reports/$name.csv" ] &&
    [ "$(tail -n +2 "$work/reports/$name.csv" | wc -l)" -eq "${device_count[$name]}" ] &&
    [ "$(report_rows "$name" 0 "Verified 2.0.0")" -eq "${device_count[$name]}" ] &&
    [ "${runs_after_rollout[$name]}" -eq "${device_count[$name]}" ]
  check $? "$name: ${device_count[$name]} devices run once and verified in reports/$name.csv"
  remote=$(ini_value "${settings_file[$name]}" UDP REMOTE_IP)
  host=$(ini_value "${settings_file[$name]}" UDP HOST_IP)
  [ "$remote" = "${remote_before[$name]}" ] && [ "$host" = "${host_before[$name]}" ]
  check $? "$name: [UDP] REMOTE_IP=$remote HOST_IP=$host as before"
done
[ "$failures" -eq 0 ] || finish

# 3. Again: every device already at the target version, nothing run, no change.
play again
check "$status" "the second rollout succeeds"
for name in "${!settings_file[@]}"; do
  [ "$(update_changed again "$name")" = "ok false" ]
  check $? "$name again: the update task changed nothing"
  [ "$(runs "$name")" -eq "${runs_after_rollout[$name]}" ]
  check $? "$name again: no further updater run"
  [ "$(tail -n +2 "$work/reports/$name.csv" | wc -l)" -eq "${device_count[$name]}" ] &&
    [ "$(report_rows "$name" "" "Already at 2.0.0")" -eq "${device_count[$name]}" ]
  check $? "$name again: every device \"Already at 2.0.0\" in reports/$name.csv"
done
finish
