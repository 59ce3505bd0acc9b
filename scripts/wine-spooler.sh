#!/bin/bash
# The Windows spooler for the Windows tests: wine, in a profile of its own
# inside DIR, over a private CUPS scheduler in DIR/cups. wine's spooler lists
# the scheduler's queues as its printers. Beside them runs an IPP printer on
# loopback (scripts/ipp-device.sh in DIR/device), whose port number is in
# DIR/device/port; the tests add printers on its port to the profile.
#
#   wine-spooler.sh start DIR   make DIR, a scheduler with the sample queues,
#                               the IPP printer, a new wine profile, a
#                               persistent wineserver
#   wine-spooler.sh stop DIR    stop the wineserver, the IPP printer and the
#                               scheduler, and remove DIR
#
# DIR, the wineserver and the scheduler run under scripts/supervise and end
# with the process that KAVRO_OWNER names, by default the caller of "start"
# (CTest, for its fixture), however that ends.
#
# Programs reach it with
#   CUPS_SERVER=DIR/cups/cups.sock CUPS_SERVERROOT=DIR/cups/etc HOME=DIR/home
#   WINEPREFIX=DIR/prefix TMPDIR=DIR/tmp WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
# (Debian's wineserver keeps its socket in a new folder under TMPDIR, and
# leaves that folder behind when it ends.)
set -eu

usage() {
  echo "usage: $0 start DIR | stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] && [ -n "$2" ] || usage
action=$1
case $action in start | stop) ;; *) usage ;; esac
here=$(cd "$(dirname "$0")" && pwd)
export KAVRO_OWNER=${KAVRO_OWNER:-$PPID}
if [ "$action" = start ] && [ "${KAVRO_SUPERVISED:-}" != 1 ]; then
  KAVRO_SUPERVISED=1 exec "$here/supervise" --owner "$KAVRO_OWNER" -- "$0" "$@"
fi

case $2 in
  /*) dir=$2 ;;
  *) dir=$PWD/$2 ;;
esac
keeper=$dir/keeper.pid

export CUPS_SERVER=$dir/cups/cups.sock CUPS_SERVERROOT=$dir/cups/etc HOME=$dir/home
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
# No window of wine's may reach a display.
unset DISPLAY WAYLAND_DISPLAY
prefix=$dir/prefix
# Only wine's programs have the profile in their environment: its supervisor
# ends every process that has (wine's services start sessions of their own).
wine_env() {
  env WINEPREFIX="$prefix" TMPDIR="$dir/tmp" "$@"
}
# For the supervisor, which must not have it.
wine_env=(env WINEPREFIX="$prefix" TMPDIR="$dir/tmp")

# Whether `pid` is a supervisor of this folder: its keeper, or the one of
# its wineserver.
supervising() {
  [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' 2>/dev/null <"/proc/$1/cmdline" | grep -qF -- " $2 "
}

# Sends SIGTERM to the supervisor whose pid FILE holds and waits (at most
# 10 s) until it has ended what it supervises.
stop_supervisor() {
  local file=$1 mark=$2 pid tries=0
  [ -s "$file" ] || return 0
  pid=$(cat "$file")
  if supervising "$pid" "$mark"; then
    kill -TERM "$pid" 2>/dev/null || true
    while supervising "$pid" "$mark" && [ $tries -lt 200 ]; do
      sleep 0.05
      tries=$((tries + 1))
    done
  fi
  rm -f "$file"
}

stop() {
  [ -d "$dir" ] || return 0
  # Ends wine's programs too.
  stop_supervisor "$dir/wineserver.supervisor.pid" "--pidfile $dir/tmp/wineserver.pid"
  "$here/ipp-device.sh" stop "$dir/device"
  "$here/private-cupsd.sh" stop "$dir/cups"
  # The keeper removes the folder; a folder without one (left by a machine
  # that went down) is removed here.
  stop_supervisor "$keeper" "--folder $dir"
  rm -rf -- "$dir"
}

# A wineserver in the foreground, so that its supervisor can end it. It is
# ready once its socket is there (in the folder under TMPDIR that the profile
# names, then one named after the device and inode of the profile), and no
# wine program then starts one of its own.
wineserver_start() {
  KAVRO_SUPERVISE=$here/supervise wine_server "$prefix" "$dir/tmp" "$dir/wineserver.log"
  echo "$wine_server_pid" >"$dir/wineserver.supervisor.pid"
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi

stop
"$here/supervise" --owner "$KAVRO_OWNER" --folder "$dir" </dev/null >/dev/null 2>&1 &
tries=0
until [ -d "$dir" ]; do
  kill -0 $! 2>/dev/null && [ $tries -lt 200 ] || { echo "$0: cannot make $dir" >&2; exit 1; }
  sleep 0.05
  tries=$((tries + 1))
done
echo $! >"$keeper"
cd "$dir"
mkdir cups home prefix tmp
"$here/private-cupsd.sh" start "$dir/cups"
. "$here/setup.sh"
sample_queues
# A queue of the tests' own, whose attributes they change in the profile.
lpadmin -p Workroom -E -v file:///dev/null -D "Café corner"
# The IPP printer, on a port that was free a moment ago.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$here/ipp-device.sh" start "$dir/device" "$port"
echo "$port" >"$dir/device/port"

# A profile of its own, served by a wineserver that no wine program starts
# on its own. Its first start lists the scheduler's queues as wine's printers.
wineserver_start
wine_env wineboot -i </dev/null >wineboot.log 2>&1
# The null graphics driver: nothing to draw on, nothing to wait for.
wine_env wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >>wineboot.log 2>&1
# A new wineserver, which reads the profile as it now is: one for all the tests.
stop_supervisor "$dir/wineserver.supervisor.pid" "--pidfile $dir/tmp/wineserver.pid"
wineserver_start
ready=$(wine_env wine cmd /c echo ready </dev/null 2>/dev/null | tr -d '\r')
echo "wine spooler in $dir: $ready"
[ "$ready" = ready ]
