#!/bin/bash
# Measures the printer list and tests with printers found on the network,
# beside lpstat on the same scheduler and avahi, and prints the table that
# docs/benchmarks.md gives.
#   bench/network.sh [BUILD-DIR] [RUNS]
# It runs in network namespaces of its own: on one side a private scheduler
# with 1000 queues and the avahi-daemon the program asks; on the other, over
# a virtual Ethernet link, ten IPP printers (ippeveprinter) and the avahi
# they register with. The two avahis learn of each other by multicast DNS,
# as on a real network. Nothing reaches the machine's network or print system.
set -eu
cd "$(dirname "$0")/.."
. bench/isolated.sh
build=${1:-build}
runs=${2:-11}
if [ -z "${KAVRO_BENCH_FOLDER:-}" ]; then
  . scripts/setup.sh
  install_packages
  [ -n "${KAVRO_BENCH_NO_BUILD:-}" ] || build "$build" -DKAVRO_WITH_TESTS=ON -DKAVRO_SANITIZE=OFF >/dev/null
  isolate kavro-network "$@"
fi
dir=$KAVRO_BENCH_FOLDER
# supervise NAME SUPERVISE-ARGUMENTS...: in the background, its output in NAME.log.
supervise() {
  local name=$1
  shift
  scripts/supervise --owner "$KAVRO_OWNER" "$@" </dev/null >>"$dir/$name.log" 2>&1 &
}
await() {
  local tries=0
  until eval "$1"; do
    tries=$((tries + 1))
    [ $tries -lt 400 ] || { echo "gave up waiting for: $1" >&2; exit 1; }
    sleep 0.05
  done
}
ip link set lo up

# The printers' side: a network namespace held by a process that sleeps.
scripts/supervise --owner $$ --pidfile "$dir/far.pid" -- unshare --net sleep infinity </dev/null >/dev/null 2>&1 &
await '[ -s "$dir/far.pid" ]'
far=$(cat "$dir/far.pid")
ip link add kavro-near type veth peer name kavro-far
ip link set kavro-far netns "$far"
ip addr add 10.77.0.1/24 dev kavro-near
ip link set kavro-near up
nsenter -t "$far" -n sh -c 'ip link set lo up && ip addr add 10.77.0.2/24 dev kavro-far && ip link set kavro-far up'

# bus_and_avahi SIDE INTERFACE [NSENTER...]: a D-Bus system bus and an
# avahi-daemon on INTERFACE, with /run a folder of their own.
bus_and_avahi() {
  local side=$1 interface=$2
  shift 2
  mkdir -p "$dir/$side/run"
  sed "s|@BUS@|$dir/$side/bus.sock|" >"$dir/$side/bus.conf" <<'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>system</type><listen>unix:path=@BUS@</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>
EOF
  printf '[server]\nhost-name=kavro-%s\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=%s\nenable-dbus=yes\n[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n' \
    "$side" "$interface" >"$dir/$side/avahi.conf"
  [ -S "$dir/$side/bus.sock" ] || supervise "$side-dbus" -- dbus-daemon --config-file="$dir/$side/bus.conf" --nofork
  await '[ -S "$dir/$side/bus.sock" ]'
  : >"$dir/$side-avahi.log"
  supervise "$side-avahi" --pidfile "$dir/$side/avahi.pid" -- \
    env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/$side/bus.sock" "$@" unshare --mount --propagation private \
    sh -c 'mount --bind "$1" /run && mkdir -p /run/avahi-daemon && shift && exec "$@"' sh "$dir/$side/run" \
    avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$dir/$side/avahi.conf"
  await "grep -q 'Server startup complete' '$dir/$side-avahi.log'"
}
bus_and_avahi far kavro-far nsenter -t "$far" -n
bus_and_avahi near kavro-near

# Ten printers on the far side, registered with its avahi.
for i in $(seq -w 1 10); do
  mkdir -p "$dir/spool$i"
  supervise "printer$i" --pidfile "$dir/printer$i.pid" -- env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/far/bus.sock" \
    nsenter -t "$far" -n ippeveprinter -p "90$i" -d "$dir/spool$i" -s 12 "Desk Printer $i"
done

# 1000 queues on this side's scheduler.
mkdir -p "$dir/cups/etc"
for ((i = 1; i <= 1000; i++)); do
  printf '<Printer Queue%04d>\nInfo Benchmark queue %d\nDeviceURI file:///dev/null\nState Idle\nAccepting Yes\n</Printer>\n' "$i" "$i"
done >"$dir/cups/etc/printers.conf"
scripts/private-cupsd.sh start "$dir/cups" >/dev/null
export CUPS_SERVER=$dir/cups/cups.sock CUPS_SERVERROOT=$dir/cups/etc HOME=$dir/cups/home
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/near/bus.sock
await '[ "$(lpstat -e | wc -l)" -eq 1010 ]'

. bench/timing.sh
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

diff <(lpstat -e) <("$build/bench/printer_bench" --list) >/dev/null ||
  { echo "the program does not list what lpstat -e lists" >&2; exit 1; }
list=$(median_ms "$build/bench/printer_bench" --list)
lpstat_e=$(median_ms lpstat -e)
read -r _ _ _ queue_test _ _ _ _ < <("$build/bench/printer_bench" Queue0500 "$runs")
lpstat_p=$(median_ms lpstat -p Queue0500)
read -r _ _ _ found_test _ _ _ found_code < <("$build/bench/printer_bench" Desk_Printer_01 "$runs")

# A cold avahi: started anew, it knows nothing until it has asked.
cold=() cold_found=()
for ((i = 0; i < runs; i++)); do
  kill -TERM "$(cat "$dir/near/avahi.pid")"
  await '! kill -0 "$(cat "$dir/near/avahi.pid")" 2>/dev/null'
  rm -f "$dir/near/avahi.pid"
  bus_and_avahi near kavro-near
  start=$(date +%s%N)
  found=$("$build/bench/printer_bench" --list | grep -c '^Desk_Printer_' || true)
  cold+=($((($(date +%s%N) - start) / 1000)))
  cold_found+=("$found")
done
cold_ms=$(printf '%s\n' "${cold[@]}" | median_of)
cold_min=$(printf '%s\n' "${cold_found[@]}" | sort -n | head -1)
cold_max=$(printf '%s\n' "${cold_found[@]}" | sort -n | tail -1)

# No avahi at all: no system bus.
read -r _ bare_list _ _ _ bare_count _ _ < <(DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/none "$build/bench/printer_bench" Queue0500 "$runs")
bare_lpstat=$(DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/none median_ms lpstat -e)

# A found printer that takes connections and never answers.
kill -STOP "$(cat "$dir/printer10.pid")"
read -r _ _ _ mute_test _ _ _ mute_code < <("$build/bench/printer_bench" Desk_Printer_10 3)
kill -CONT "$(cat "$dir/printer10.pid")"

echo "Found printers, 1000 queues and 10 printers on the far side ($(date -u +%Y-%m-%d), $(nproc) cores, median of $runs):"
echo
echo "| | program ms | lpstat ms | ratio |"
echo "|---|---:|---:|---:|"
echo "| list, whole process, avahi knowing the printers (1010 listed) | $list | $lpstat_e (-e) | $(ratio "$list" "$lpstat_e") |"
echo "| list, whole process, avahi started anew (found $cold_min to $cold_max of 10) | $cold_ms | | |"
echo "| list in the window, no avahi ($bare_count listed) | $bare_list | $bare_lpstat (-e) | $(ratio "$bare_list" "$bare_lpstat") |"
echo "| one test of a queue | $queue_test | $lpstat_p (-p QUEUE) | $(ratio "$queue_test" "$lpstat_p") |"
echo "| one test of a found printer that answers ($found_code) | $found_test | | |"
echo "| one test of a found printer that never answers ($mute_code) | $mute_test | | |"
scripts/private-cupsd.sh stop "$dir/cups" >/dev/null
