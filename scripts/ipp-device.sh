#!/bin/bash
# Real IPP printers on loopback for the tests: ippeveprinter, with the
# avahi-daemon it registers with and the D-Bus system bus avahi needs, all
# private to DIR. avahi runs in a network namespace of its own, so that it
# sees no other avahi on this machine: it offers the printers registered
# with it, at its host name, which stands for 127.0.0.1.
#
#   ipp-device.sh start DIR PORT   start them; the printer "Test Device" is
#                                  ipp://localhost:PORT/ipp/print
#   ipp-device.sh printer DIR PORT NAME [OPTION...]
#                                  start one more printer NAME on PORT, with
#                                  ippeveprinter's OPTIONs (-f formats, -l location)
#   ipp-device.sh pause DIR [PORT] stop the printer (SIGSTOP): it takes
#                                  connections and never answers
#   ipp-device.sh kill DIR [PORT]  kill the printer at once, as if unplugged
#   ipp-device.sh browsed DIR      start cups-browsed on this avahi, for the
#                                  scheduler that CUPS_SERVER names: it makes
#                                  queues for the printers it finds (its log:
#                                  DIR/cups-browsed.log)
#   ipp-device.sh stop DIR         stop them all again
#
# PORT names a printer that "printer" started; without it, "Test Device".
# DIR is made by "start" inside a folder that must exist. Each program runs
# under scripts/supervise and ends with the process that KAVRO_OWNER names
# (by default the caller of "start"), however that ends; so does a "start"
# still under way. The machine's own D-Bus and avahi are never used: clients
# reach the private bus with DBUS_SYSTEM_BUS_ADDRESS=unix:path=DIR/bus.sock.
set -eu

usage() {
  echo "usage: $0 start DIR PORT | printer DIR PORT NAME [OPTION...] | pause DIR [PORT] | kill DIR [PORT] | browsed DIR | stop DIR" >&2
  exit 2
}
[ $# -ge 2 ] || usage
action=$1
here=$(cd "$(dirname "$0")" && pwd)
export KAVRO_OWNER=${KAVRO_OWNER:-$PPID}
if [ "$action" = start ] && [ "${KAVRO_SUPERVISED:-}" != 1 ]; then
  KAVRO_SUPERVISED=1 exec "$here/supervise" --owner "$KAVRO_OWNER" -- "$0" "$@"
fi
if [ ! -d "$2" ]; then
  [ "$action" = start ] || exit 0 # nothing was started there
  # One level only: a folder removed meanwhile is not made again.
  mkdir "$2"
fi
dir=$(cd "$2" && pwd)
cd "$dir"

# Starts a program under the supervisor; DIR/NAME.pid is the program's pid,
# DIR/NAME.supervisor.pid its supervisor's.
launch() {
  local name=$1
  shift
  rm -f "$name.pid"
  "$here/supervise" --owner "$KAVRO_OWNER" --pidfile "$dir/$name.pid" -- "$@" \
    </dev/null >>"$dir/$name.log" 2>&1 &
  echo $! >"$name.supervisor.pid"
}

# Waits (at most 10 s) until a command succeeds.
await() {
  local tries=0
  until "$@" >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ $tries -ge 200 ]; then
      echo "$0: gave up waiting for: $*" >&2
      cat "$dir"/*.log >&2 || true
      return 1
    fi
    sleep 0.05
  done
}

# Whether `pid` is the supervisor of program NAME of this folder.
supervising() {
  [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -qF -- "--pidfile $dir/$2.pid "
}

# Stops program NAME through its supervisor, which ends with it.
stop_one() {
  local file=$dir/$1.supervisor.pid pid tries=0
  [ -s "$file" ] || return 0
  pid=$(cat "$file")
  if supervising "$pid" "$1"; then
    kill -TERM "$pid" 2>/dev/null || true
    while supervising "$pid" "$1" && [ $tries -lt 200 ]; do # 10 s
      sleep 0.05
      tries=$((tries + 1))
    done
  fi
  rm -f "$file" "$dir/$1.pid"
}

start() {
  [ $# -eq 1 ] || usage
  local port=$1
  PATH=$PATH:/usr/sbin:/sbin
  cat >bus.conf <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus.sock</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
  cat >avahi.conf <<EOF
[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=lo
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
publish-addresses=yes
EOF
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus.sock"
  launch dbus dbus-daemon --config-file="$dir/bus.conf" --nofork
  await test -S bus.sock
  # avahi keeps its pid file and socket in /run/avahi-daemon, the machine's
  # own: in a mount namespace of its own, a folder of DIR stands for /run.
  # In a network namespace of its own, its loopback interface is its alone.
  mkdir -p run
  launch avahi unshare --net --mount --propagation private \
    sh -c 'ip link set lo up && mount --bind "$1" /run && mkdir -p /run/avahi-daemon && shift && exec "$@"' \
    sh "$dir/run" avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$dir/avahi.conf"
  await grep -q "Server startup complete" avahi.log
  printer ippeveprinter "$port" "Test Device" -n localhost
}

# printer PROGRAM PORT NAME [OPTION...]: starts a printer registered with
# this folder's avahi, and waits until it answers.
printer() {
  local program=$1 port=$2 name=$3
  shift 3
  mkdir -p "spool-$port"
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus.sock"
  launch "$program" ippeveprinter -p "$port" -d "$dir/spool-$port" -s 12 "$@" "$name"
  await ipptool -T 2 "ipp://localhost:$port/ipp/print" get-printer-attributes.test
}

# cups-browsed as a desktop runs it, but on this folder's avahi, with its
# files here, and for the scheduler that CUPS_SERVER names.
browsed() {
  [ $# -eq 0 ] || usage
  if [ -z "${CUPS_SERVER:-}" ]; then
    echo "$0: CUPS_SERVER must name the scheduler that cups-browsed makes queues on" >&2
    exit 2
  fi
  PATH=$PATH:/usr/sbin:/sbin
  mkdir -p browsed
  cat >browsed/cups-browsed.conf <<EOF
BrowseRemoteProtocols dnssd
BrowseLocalProtocols none
CreateIPPPrinterQueues All
CacheDir $dir/browsed
LogDir $dir/browsed
EOF
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus.sock"
  launch cups-browsed cups-browsed -c "$dir/browsed/cups-browsed.conf" --debug
}

# The program name of the printer on PORT, or of "Test Device".
printer_named() {
  if [ $# -eq 0 ]; then echo ippeveprinter; else echo "printer-$1"; fi
}

signal_printer() {
  local signal=$1 program
  shift
  [ $# -le 1 ] || usage
  program=$(printer_named "$@")
  [ -s "$program.pid" ] && kill "-$signal" "$(cat "$program.pid")" 2>/dev/null || true
  [ "$signal" = KILL ] && stop_one "$program"
  return 0
}

stop() {
  [ $# -eq 0 ] || usage
  local f program
  stop_one cups-browsed
  for f in printer-*.supervisor.pid ippeveprinter.supervisor.pid; do
    [ -e "$f" ] || continue
    program=${f%.supervisor.pid}
    # A paused printer would not heed the supervisor's SIGTERM.
    [ -s "$program.pid" ] && kill -CONT "$(cat "$program.pid")" 2>/dev/null
    stop_one "$program"
  done
  stop_one avahi
  stop_one dbus
}

case $action in
start) shift 2 && start "$@" ;;
printer)
  [ $# -ge 4 ] || usage
  port=$3 name=$4
  shift 4
  printer "printer-$port" "$port" "$name" "$@"
  ;;
pause) shift 2 && signal_printer STOP "$@" ;;
kill) shift 2 && signal_printer KILL "$@" ;;
browsed) shift 2 && browsed "$@" ;;
stop) shift 2 && stop "$@" ;;
*) usage ;;
esac
