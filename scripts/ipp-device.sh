#!/bin/bash
# A real IPP printer on loopback for the tests: ippeveprinter, with the
# avahi-daemon it registers with and the D-Bus system bus avahi needs, all
# private to DIR (avahi is limited to the loopback interface).
#
#   ipp-device.sh start DIR PORT   start them; the printer is ipp://localhost:PORT/ipp/print
#   ipp-device.sh kill DIR         kill the printer at once, as if unplugged
#   ipp-device.sh stop DIR         stop them all again
set -eu

usage() {
  echo "usage: $0 start DIR PORT | kill DIR | stop DIR" >&2
  exit 2
}
[ $# -ge 2 ] || usage
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)

# Starts a program in the background and records its pid as DIR/NAME.pid.
launch() {
  local name=$1
  shift
  "$@" </dev/null >>"$dir/$name.log" 2>&1 &
  echo $! >"$dir/$name.pid"
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

stop_one() {
  local pidfile=$dir/$1.pid pid tries=0
  [ -s "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  kill -TERM "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && [ $tries -lt 20 ]; do
    sleep 0.05
    tries=$((tries + 1))
  done
  kill -KILL "$pid" 2>/dev/null || true
  rm -f "$pidfile"
}

start() {
  [ $# -eq 1 ] || usage
  local port=$1
  PATH=$PATH:/usr/sbin:/sbin
  cat >"$dir/bus.conf" <<EOF
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
  cat >"$dir/avahi.conf" <<EOF
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
publish-addresses=no
EOF
  # avahi keeps one pid file for the whole machine: where the machine's own
  # avahi-daemon runs, the printer registers with that one instead.
  if ! avahi-daemon --check 2>/dev/null; then
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/bus.sock"
    launch dbus dbus-daemon --config-file="$dir/bus.conf" --nofork
    await test -S "$dir/bus.sock"
    launch avahi avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$dir/avahi.conf"
    await grep -q "Server startup complete" "$dir/avahi.log"
  fi
  mkdir -p "$dir/spool"
  launch ippeveprinter ippeveprinter -p "$port" -n localhost -d "$dir/spool" -s 12 "Test Device"
  await ipptool -T 2 "ipp://localhost:$port/ipp/print" get-printer-attributes.test
}

kill_printer() {
  [ $# -eq 0 ] || usage
  [ -s "$dir/ippeveprinter.pid" ] && kill -KILL "$(cat "$dir/ippeveprinter.pid")" 2>/dev/null || true
  rm -f "$dir/ippeveprinter.pid"
}

stop() {
  [ $# -eq 0 ] || usage
  stop_one ippeveprinter
  stop_one avahi
  stop_one dbus
}

case $action in
start) shift 2 && start "$@" ;;
kill) shift 2 && kill_printer "$@" ;;
stop) shift 2 && stop "$@" ;;
*) usage ;;
esac
